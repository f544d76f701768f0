// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

namespace velmora {

// The shell's "open" on a URL and starting a program without waiting for it.
//
// Test seam: after setScripted(true) nothing is opened or started; each call is recorded in
// calls(), failNextStart() makes the next startDetached() fail with the given text, and
// failNextOpen() the next openUrl() find no handler.
class Shell {
  public:
    struct Call {
        enum class Kind { OpenUrl, StartDetached } kind;
        QString target;  // the URL, or the program
        QStringList arguments;
    };

    // Returns false when no handler took the URL.
    static bool openUrl(const QUrl& url);
    // Returns an empty text when the program started, otherwise why it did not.
    static QString startDetached(const QString& program, const QStringList& arguments = {});

    static void setScripted(bool scripted);
    static void failNextStart(const QString& error);
    static void failNextOpen();
    static const QList<Call>& calls();
    static void clearCalls();
};

}  // namespace velmora
