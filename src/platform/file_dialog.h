#pragma once

#include <QString>

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

    // Proposes a name for the next show ("" forgets the held file).
    void setFileName(const QString& name);
    // Appended as "." + extension on save when the confirmed name has no extension.
    void setDefaultExtension(const QString& extension) { defaultExtension_ = extension; }
    // Where the dialog starts when the held name has no folder of its own.
    void setInitialFolder(const QString& folder) { initialFolder_ = folder; }

    // Test seam. Answers are taken in order by the next shows of any FileDialog.
    static void scriptNext(const QString& path);
    static void scriptCancel();
    // Confirms the name the dialog offers, in the folder it opens in, as a user who only
    // presses Save does.
    static void scriptAcceptOffered();
    static void clearScript();
    static int scriptedLeft();
    // The file name the program proposed when it last showed a dialog, and how many were shown.
    static QString lastProposedName();
    // The folder the dialog opened in when it was last shown.
    static QString lastStartFolder();
    static int shownCount();

  private:
    enum class Mode { Open, Save };
    bool show(QWidget* parent, Mode mode);
    // The folder a show opens in (the held file's, else the initial folder), and the name it
    // offers there.
    QString startFolder() const;
    QString offeredName() const;
    void accept(QString path, Mode mode);

    QString fileName_;
    QString fileTitle_;
    QString defaultExtension_;
    QString initialFolder_;
};

}  // namespace velmora
