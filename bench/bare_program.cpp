// SPDX-License-Identifier: MIT
// The floor of any process: a program that links nothing and returns at once.
int main() {
    return 0;
}
