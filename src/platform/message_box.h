// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <memory>

class QMessageBox;
class QWidget;

namespace velmora {

// The program's modal message boxes. Both have one OK button and wait for it.
//
// Test seam: after setScripted(true) nothing is shown; each call is recorded in shown().
class MessageBox {
  public:
    enum class Kind { Information, Error };
    struct Shown {
        Kind kind;
        QString caption;
        QString text;
    };

    // A plain notice without an icon ("No AP Selected To Export").
    static void information(QWidget* parent, const QString& caption, const QString& text);
    // A failed file operation: which file and the system's reason.
    static void error(QWidget* parent, const QString& caption, const QString& text);

    // The box information() or error() shows, not yet shown: at least as wide as its title
    // with the window frame's buttons beside it, whatever the length of its text.
    static std::unique_ptr<QMessageBox> build(Kind kind, QWidget* parent, const QString& caption,
                                              const QString& text);

    static void setScripted(bool scripted);
    static const QList<Shown>& shown();
    static void clearShown();
};

// The caption of every message box the program shows.
inline constexpr const char* kApplicationTitle = "Velmora2004_Pre_Release";

}  // namespace velmora
