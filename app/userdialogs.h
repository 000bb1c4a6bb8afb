// SPDX-License-Identifier: MIT
// The window's way to ask and tell the user: file dialogs and message boxes behind
// one small interface, so that tests drive the real window with a scripted fake.
// Every question is answered explicitly: no method has a default answer, so a
// fake that meets a question it does not know fails instead of cancelling it.
#pragma once

#include "celledits.h"
#include "mapformat.h"
#include "symmetryedits.h"

#include <QColor>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

struct FileDialogRequest {
    QString title;
    QString filter;        // "Map files (*.amp)"
    QString defaultSuffix; // added to a chosen name that has none
    QString
        directory; // where the dialog starts (a file in it: that file proposed); empty for its usual place
};

// What to do with the unwritten changes an editor left behind.
enum class RecoveryChoice { Recover, Discard, Later };

// What to do with changes that were not written, before they would be lost.
enum class UnwrittenChoice { Save, Discard, Cancel };

// Quitting with several maps unwritten: write the maps checked, drop every
// edit, or stay.
enum class UnwrittenMapsChoice { WriteSelected, DiscardAll, Cancel };

// A value's name and the colour the picture gives it, for choosing values by name.
struct ValueName {
    QString name;
    QColor colour;
};
// The names of the values 0, 1, … of a layer; empty where its values have none.
using ValueNames = QList<ValueName>;

// One line of Help > Keyboard Shortcuts: what a key does, and its keys.
struct ShortcutRow {
    QString action;
    QString keys;
    QString menu; // where the action is ("Symmetry"), empty for keys of no menu
};

class UserDialogs {
public:
    virtual ~UserDialogs() = default;

    // The chosen file's full name, or an empty text when the user cancels.
    virtual QString openFileName(QWidget* parent, const FileDialogRequest& request) = 0;
    // Never asks before replacing an existing file: writing back to the file just
    // read is the everyday case.
    virtual QString saveFileName(QWidget* parent, const FileDialogRequest& request) = 0;
    // A modal box with OK and Cancel, as the map form's own boxes are; which one
    // the user presses is not used. The detail, where given, says why in the
    // system's words.
    virtual void messageBox(QWidget* parent, const QString& caption, const QString& text,
                            const QString& detail = {}) = 0;
    // The same box with one OK button, for the program's boxes that only inform.
    virtual void inform(QWidget* parent, const QString& caption, const QString& text,
                        const QString& detail = {}) = 0;
    // A plain information box with OK.
    virtual void showMessage(QWidget* parent, const QString& text) = 0;
    // The keyboard shortcuts as a table the user can search.
    virtual void showShortcuts(QWidget* parent, const QList<ShortcutRow>& rows) = 0;
    // Asks for a line of text, starting from `text`; false when the user cancels.
    virtual bool askText(QWidget* parent, const QString& title, const QString& label, QString& text) = 0;
    // Asks for a whole number between the bounds, starting from `value`; false
    // when the user cancels.
    virtual bool askNumber(QWidget* parent, const QString& title, const QString& label, int& value,
                           int minimum, int maximum) = 0;
    // Asks for a byte value (0-255), by name where `names` has names.
    virtual bool askValue(QWidget* parent, const QString& title, const QString& label, int& value,
                          const ValueNames& names) = 0;
    // Asks what to replace; `count` tells how many cells a request would change,
    // shown before the user agrees. False when the user cancels.
    virtual bool askReplace(QWidget* parent, ReplaceRequest& request,
                            const std::function<int(const ReplaceRequest&)>& count) = 0;
    // The same with both values chosen by name where `names` has names.
    virtual bool askReplaceValues(QWidget* parent, ReplaceRequest& request,
                                  const std::function<int(const ReplaceRequest&)>& count,
                                  const ValueNames& names) = 0;
    // "Recover Unwritten Changes": "Recover the unwritten changes to NAME from TIME?"
    virtual RecoveryChoice askRecover(QWidget* parent, const QString& name, const QDateTime& time) = 0;
    // Asks for the columns and rows (1-255 each) of a new map, starting from the
    // values given; false when the user cancels.
    virtual bool askMapSize(QWidget* parent, int& columns, int& rows) = 0;
    // Map > Resize: the new size and the part that stays put (0-8: the corners,
    // edges and centre, row by row from the top left); false when cancelled.
    virtual bool askResize(QWidget* parent, int& columns, int& rows, int& anchor) = 0;
    // Map > Header Bytes: new values for the header bytes other than the shape
    // (0, 1, 3, 5 and 6), starting from `header`; false when cancelled.
    virtual bool askHeaderBytes(QWidget* parent, amp::MapHeader& header) = 0;
    // Asks before unwritten changes would be lost: Save (the default), Discard or Cancel.
    virtual UnwrittenChoice askUnwritten(QWidget* parent, const QString& caption, const QString& text) = 0;
    // Asks once about several maps with unwritten edits, a check box each
    // (`chosen` comes in and goes out with one flag per name).
    virtual UnwrittenMapsChoice askUnwrittenMaps(QWidget* parent, const QStringList& names,
                                                 QList<bool>& chosen) = 0;
    // Asks before a step that would lose what a file holds: Yes or No, No the
    // default (and the answer of a box closed without either). True for Yes.
    virtual bool askYesNo(QWidget* parent, const QString& caption, const QString& text) = 0;
    // Asks where a flip or symmetry goes (layers, selection), telling before it
    // is applied how many hexes `count` says have no image. False on cancel.
    virtual bool askSymmetry(QWidget* parent, SymmetryRequest& request, bool hasSelection,
                             const std::function<int(const SymmetryRequest&)>& count) = 0;
};

// The name with the default suffix added when it has none ("north" -> "north.amp").
QString withDefaultSuffix(const QString& fileName, const QString& suffix);

// The real dialogs of the desktop.
class QtUserDialogs : public UserDialogs {
public:
    QString openFileName(QWidget* parent, const FileDialogRequest& request) override;
    QString saveFileName(QWidget* parent, const FileDialogRequest& request) override;
    void messageBox(QWidget* parent, const QString& caption, const QString& text,
                    const QString& detail) override;
    void inform(QWidget* parent, const QString& caption, const QString& text, const QString& detail) override;
    void showMessage(QWidget* parent, const QString& text) override;
    void showShortcuts(QWidget* parent, const QList<ShortcutRow>& rows) override;
    bool askText(QWidget* parent, const QString& title, const QString& label, QString& text) override;
    bool askNumber(QWidget* parent, const QString& title, const QString& label, int& value, int minimum,
                   int maximum) override;
    bool askValue(QWidget* parent, const QString& title, const QString& label, int& value,
                  const ValueNames& names) override;
    bool askReplace(QWidget* parent, ReplaceRequest& request,
                    const std::function<int(const ReplaceRequest&)>& count) override;
    bool askReplaceValues(QWidget* parent, ReplaceRequest& request,
                          const std::function<int(const ReplaceRequest&)>& count,
                          const ValueNames& names) override;
    RecoveryChoice askRecover(QWidget* parent, const QString& name, const QDateTime& time) override;
    bool askMapSize(QWidget* parent, int& columns, int& rows) override;
    bool askResize(QWidget* parent, int& columns, int& rows, int& anchor) override;
    bool askHeaderBytes(QWidget* parent, amp::MapHeader& header) override;
    UnwrittenChoice askUnwritten(QWidget* parent, const QString& caption, const QString& text) override;
    UnwrittenMapsChoice askUnwrittenMaps(QWidget* parent, const QStringList& names,
                                         QList<bool>& chosen) override;
    bool askYesNo(QWidget* parent, const QString& caption, const QString& text) override;
    bool askSymmetry(QWidget* parent, SymmetryRequest& request, bool hasSelection,
                     const std::function<int(const SymmetryRequest&)>& count) override; // symmetryform.cpp
};
