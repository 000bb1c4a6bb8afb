// SPDX-License-Identifier: MIT
// What the window tests share: map files made in a temporary folder, a window
// built with scripted dialogs, and access to its controls by name.
#pragma once

#include "fakedialogs.h"
#include "layermodel.h"
#include "layerview.h"
#include "mainwindow.h"
#include "mapdocument.h"
#include "mapfileio.h"
#include "mapimage.h"
#include "tfrmmaped.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <vector>

inline const amp::MapHeader TenByEight{{0x2A, 0x00, 0x0A, 0x00, 0x08, 0x00, 0x05}};

// A path as the window shows it, with the system's separators.
inline QString shown(const QString& path) {
    return QDir::toNativeSeparators(path);
}

// A map named on the command line as the window takes it: on Windows, whose file
// names ignore case, with its letters A-Z lowered.
inline QString asArgument(const QString& path) {
#ifdef Q_OS_WIN
    QString lowered = path;
    for (QChar& c : lowered) {
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) {
            c = c.toLower();
        }
    }
    return lowered;
#else
    return path;
#endif
}

// Byte j of record k of a test map: every byte tells where it stands.
inline std::uint8_t patternByte(int record, int layer) {
    return static_cast<std::uint8_t>((record * 13 + layer * 7 + 1) % 256);
}

// A file with the header and `records` pattern records, plus `extra` loose bytes.
inline std::vector<std::uint8_t> patternFile(const amp::MapHeader& header, int records, int extra = 0) {
    std::vector<std::uint8_t> bytes(header.bytes.begin(), header.bytes.end());
    for (int k = 0; k < records; ++k) {
        for (int j = 0; j < amp::RecordSize; ++j) {
            bytes.push_back(patternByte(k, j));
        }
    }
    bytes.insert(bytes.end(), static_cast<std::size_t>(extra), 0xEE);
    return bytes;
}

class WindowFixture {
public:
    QString write(const QString& name, const std::vector<std::uint8_t>& bytes) const {
        const QString path = dir.filePath(name);
        const auto written = amp::writeFileSafely(path, bytes);
        if (!written.ok()) {
            qFatal("cannot write test file %s", qPrintable(path));
        }
        return path;
    }
    std::vector<std::uint8_t> read(const QString& path) const {
        auto bytes = amp::readMapFile(path);
        return bytes.ok() ? bytes.value() : std::vector<std::uint8_t>{};
    }

    TfrmMapEd& open(const QStringList& arguments = {QStringLiteral("ampedit")}) {
        // Recovery copies go to the test's own folder.
        qputenv("XDG_DATA_HOME",
                QFile::encodeName(dataHome.isEmpty() ? dir.filePath(QStringLiteral("data")) : dataHome));
        // So do the settings: each test starts from the defaults unless it wrote some.
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.filePath(QStringLiteral("config"))));
        main = std::make_unique<MainWindow>(dialogs, arguments);
        window = &main->form();
        main->show();
        main->activateWindow();
        if (!QTest::qWaitForWindowActive(main.get())) {
            qWarning("the window did not become active");
        }
        return *window;
    }
    MapDocument& document() const { return main->document(); }
    // Presses a key where the focus is, as the user would.
    void press(QKeySequence key) const {
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : main.get();
        QTest::keySequence(target, key);
        QCoreApplication::processEvents();
    }

    template <typename T> T* control(const char* name) const {
        T* found = window->findChild<T*>(QString::fromLatin1(name));
        if (!found) {
            qFatal("no control %s", name);
        }
        return found;
    }
    QString textOf(const char* name) const { return control<QLineEdit>(name)->text(); }
    void click(const char* name) const { QTest::mouseClick(control<QPushButton>(name), Qt::LeftButton); }
    LayerView* view(int layer) const { return window->layerGrid(layer); }
    LayerModel* model(int layer) const { return view(layer)->layerModel(); }
    QList<int> visibleLayers() const {
        QList<int> shown;
        for (int i = 0; i < amp::LayerCount; ++i) {
            if (view(i)->isVisible()) {
                shown.append(i);
            }
        }
        return shown;
    }
    // Clicks a cell of a view (given as [column][row]) and types into it, key by
    // key to whatever has the focus: the view, then the editor the first key opens.
    void typeIntoCell(LayerView* view, int column, int row, const QString& text, bool finish = true) const {
        clickCell(view, column, row);
        for (const QChar c : text) {
            QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : view;
            QTest::keyClicks(target, QString(c));
        }
        if (finish) {
            QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : view, Qt::Key_Return);
            QCoreApplication::processEvents(); // the view commits the edit from its event queue
        }
    }
    void clickCell(LayerView* view, int column, int row) const {
        const QRect cell = view->visualRect(view->model()->index(row, column));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell.center());
    }
    // The texts of several boxes, in order.
    QStringList textsOf(std::initializer_list<const char*> names) const {
        QStringList texts;
        for (const char* name : names) {
            texts << textOf(name);
        }
        return texts;
    }
    QStringList metricBoxes() const { return textsOf({"Edit8", "Edit9", "Edit10", "Edit11", "Edit12"}); }
    // Writes through the "Write Map" button, as a user would.
    void writeMap(const QString& path) {
        dialogs.saveAnswers.append(path);
        click("btnSaveMap");
    }
    // Loads through the "Read Map" button, as a user would.
    void readMap(const QString& path) {
        dialogs.openAnswers.append(path);
        click("btnOpenMap");
    }
    // Opens the window on `bytes`, written as `name` and read through "Read Map".
    QString openOn(const QString& name, const std::vector<std::uint8_t>& bytes) {
        open();
        const QString path = write(name, bytes);
        readMap(path);
        return path;
    }

    QTemporaryDir dir;
    QString dataHome; // where recovery copies go: a folder in `dir` unless set
    FakeDialogs dialogs;
    std::unique_ptr<MainWindow> main;
    TfrmMapEd* window = nullptr;
};
