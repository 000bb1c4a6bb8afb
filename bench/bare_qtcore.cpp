// SPDX-License-Identifier: MIT
// What loading QtCore costs any program that links it: this one links QtCore,
// uses one function of it so the link is kept, and returns at once.
#include <QtGlobal>

int main() {
    return qVersion()[0] == '6' ? 0 : 1;
}
