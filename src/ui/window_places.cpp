// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/window_places.h"

#include <QGuiApplication>
#include <QScreen>
#include <QString>
#include <algorithm>

#include "platform/program_settings.h"

namespace velmora {

namespace {
// Windows opened beside the main window keep this far from it, and each next one this much
// lower.
constexpr int kBesideGap = 8;
constexpr int kCascadeStep = 32;

QString placeKey(const QWidget* window) {
    return QStringLiteral("windows/") + window->objectName();
}

// Whether a window at `frame` can be reached: its top left corner and its middle on a screen.
bool onAScreen(const QRect& frame) {
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect area = screen->availableGeometry();
        if (area.contains(frame.topLeft()) && area.contains(frame.center())) return true;
    }
    return false;
}

}  // namespace

QPoint placeBeside(const QRect& owner, const QSize& size, int cascade, const QRect& available) {
    const int down = cascade * kCascadeStep;
    const auto inside = [&](QPoint at) {
        at.setX(std::max(available.left(), std::min(at.x(), available.right() + 1 - size.width())));
        at.setY(
            std::max(available.top(), std::min(at.y(), available.bottom() + 1 - size.height())));
        return at;
    };
    const QPoint candidates[] = {
        {owner.right() + 1 + kBesideGap, owner.top() + down},             // right
        {owner.left() - kBesideGap - size.width(), owner.top() + down},   // left
        {owner.left() + down, owner.bottom() + 1 + kBesideGap},           // below
        {owner.left() + down, owner.top() - kBesideGap - size.height()},  // above
    };
    // The first side where the window fits whole, moved up or along to stay on the screen.
    for (const QPoint& at : candidates) {
        const QPoint moved = inside(at);
        if (available.contains(QRect(moved, size)) && !QRect(moved, size).intersects(owner))
            return moved;
    }
    // No room: the side covering the least of the main window.
    QPoint best = inside(candidates[0]);
    long long least = -1;
    for (const QPoint& at : candidates) {
        const QRect covered = QRect(inside(at), size).intersected(owner);
        const long long area = covered.isEmpty() ? 0 : 1LL * covered.width() * covered.height();
        if (least < 0 || area < least) least = area, best = inside(at);
    }
    return best;
}

void placeWindow(QWidget* window, const QWidget& owner, int cascade, bool withSize) {
    const QRect kept = programSettings().value(placeKey(window)).toRect();
    if (kept.isValid() && onAScreen(kept)) {
        if (withSize) window->resize(kept.size());
        window->move(kept.topLeft());
        return;
    }
    const QScreen* screen = owner.screen() ? owner.screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    // Before it is shown the window has no frame yet: it will have the owner's.
    const QRect ownerFrame = owner.frameGeometry();
    const QSize margins = ownerFrame.size() - owner.geometry().size();
    const QRect available = screen->availableGeometry();
    // A resizable window larger than the screen opens as large as the screen holds.
    if (withSize) window->resize(window->size().boundedTo(available.size() - margins));
    window->move(placeBeside(ownerFrame, window->size() + margins, cascade, available));
}

void rememberPlace(const QWidget* window) {
    programSettings().setValue(placeKey(window), QRect(window->pos(), window->size()));
}

}  // namespace velmora
