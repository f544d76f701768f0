// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>
#include <utility>

class QWidget;

namespace velmora {

// The program's common file dialog: one instance per window that lets the user pick a file.
// It keeps the chosen file's full path and title (name without folder) from one use to the
// next; a cancel changes neither, and a confirmed choice makes the file's folder the current
// working folder, where the exporters write.
//
// Tests never see a real dialog: queue answers with scriptNext()/scriptCancel() and every
// show takes the next one instead of opening a window.
class FileDialog {
  public:
    // Show as an open or a save dialog. Returns true when the user confirmed a file.
    bool showOpen(QWidget* parent);
    bool showSave(QWidget* parent);

    // The chosen file's full path, or the name set by the program; empty when none.
    QString fileName() const { return fileName_; }
    // The file's name with its extension, without its folder.
    QString fileTitle() const { return fileTitle_; }
    // Every file confirmed in the last open dialog (it allows several; fileName() is the
    // first), or the one file taken otherwise.
    QStringList fileNames() const { return fileNames_; }

    // Asks for a folder, with a check box "Include subfolders" (unchecked at first); starts in
    // `start`. Nothing when cancelled; else the folder and whether the box was checked.
    static std::optional<std::pair<QString, bool>> chooseFolder(QWidget* parent,
                                                                const QString& start);

    // Takes `path` as if the user had confirmed it in an open dialog: for a file chosen
    // another way (named on the command line, dropped on a window, picked from a list).
    void acceptOpened(const QString& path);

    // Proposes a name for the next show ("" forgets the held file).
    void setFileName(const QString& name);
    // Appended as "." + extension on save when the confirmed name has no extension.
    void setDefaultExtension(const QString& extension) { defaultExtension_ = extension; }
    // Where the dialog starts when the held name has no folder of its own.
    void setInitialFolder(const QString& folder) { initialFolder_ = folder; }
    // For a file that is no export (a picture): a confirmed choice leaves the current working
    // folder alone, and the next show starts in the folder chosen last instead.
    void setKeepsOwnFolder(bool own) { keepsOwnFolder_ = own; }

    // A file type the dialog offers: its text in the dialog ("KML (*.kml)") and the
    // extension a name takes under it on save ("kml"; none for an open dialog's types).
    struct Filter {
        QString text;
        QString extension;
    };
    // The file types the next shows offer, `selected` chosen at first (none: no filters).
    // On a confirmed save the chosen one is selectedFilter(). A name given without extension
    // takes the default one, or where none is set and the user picked another type, that
    // type's; then a name whose extension is another offered type's (in any letter case)
    // takes the chosen type's instead.
    void setFilters(QList<Filter> filters, int selected);
    // The chosen file type's index in the filters, or -1 when none are offered.
    int selectedFilter() const { return filters_.isEmpty() ? -1 : selectedFilter_; }

    // Test seam. Answers are taken in order by the next shows of any FileDialog.
    // `filter`: the file type the user picks (its index in the filters); -1 keeps the one
    // the dialog starts on.
    static void scriptNext(const QString& path, int filter = -1);
    static void scriptCancel();
    // Several files confirmed at once in an open dialog; a folder chosen with chooseFolder().
    static void scriptNextFiles(const QStringList& paths);
    static void scriptFolder(const QString& folder, bool subfolders);
    // Confirms the name the dialog offers, in the folder it opens in, as a user who only
    // presses Save does (after picking file type `filter`, where not -1).
    static void scriptAcceptOffered(int filter = -1);
    static void clearScript();
    static int scriptedLeft();
    // The file name the program proposed when it last showed a dialog, and how many were shown.
    static QString lastProposedName();
    // The folder the dialog opened in when it was last shown.
    static QString lastStartFolder();
    // The file types the last shown dialog offered, and the one it started on (-1: none).
    static QStringList lastFilters();
    static int lastStartFilter();
    static int shownCount();

  private:
    enum class Mode { Open, Save };
    bool show(QWidget* parent, Mode mode);
    // The folder a show opens in (the held file's, else the initial folder), and the name it
    // offers there.
    QString startFolder() const;
    QString offeredName() const;
    void accept(QString path, Mode mode, bool typeChanged = false);
    QString withChosenExtension(const QString& path) const;

    QString fileName_;
    QString fileTitle_;
    QStringList fileNames_;
    QString defaultExtension_;
    QString initialFolder_;
    QString ownFolder_;  // the folder chosen last, where keepsOwnFolder_
    bool keepsOwnFolder_ = false;
    QList<Filter> filters_;
    int selectedFilter_ = -1;
};

}  // namespace velmora
