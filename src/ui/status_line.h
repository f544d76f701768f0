// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLabel>
#include <QString>
#include <QStringList>

namespace velmora {

// The main window's status text, fitted to the room the status bar gives it without widening
// the fixed-size window: on one line where it fits, else with the middle of the folder of the
// path it names left out ("Wrote 15 sightings to /home/…/UNLOCKED_drive.txt"), else on as many
// lines as it needs. The file name is never cut; text() holds the whole text.
class StatusLine : public QLabel {
  public:
    explicit StatusLine(QWidget* parent);

    // Shows `text`, which names `path` (a file, as the windows show it; may be empty). The
    // tooltip is `details` where given, else the text.
    void setStatus(const QString& text, const QString& path = {}, const QString& details = {});
    // The lines as drawn at the label's width.
    const QStringList& shownLines() const { return lines_; }
    // The lines `text()` takes at `width`.
    QStringList layOut(int width) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void refit();

    QString path_;
    QStringList lines_;
};

}  // namespace velmora
