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
// The screen a place was kept on: its area and scale factor, "x,y,w,h@ratio".
QString screenKey(const QWidget* window) {
    return QStringLiteral("windowScreens/") + window->objectName();
}
QString screenText(const QScreen* screen) {
    const QRect area = screen->availableGeometry();
    return QStringLiteral("%1,%2,%3,%4@%5")
        .arg(area.x())
        .arg(area.y())
        .arg(area.width())
        .arg(area.height())
        .arg(screen->devicePixelRatio());
}

// Whether a window at `frame` can be reached: its top left corner and its middle on a screen;
// and, where the screen it was kept on is known (`kept`), on a screen of that area and scale
// factor, so a place kept at another scale does not open as a small window in a corner.
bool onAScreen(const QRect& frame, const QString& kept) {
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect area = screen->availableGeometry();
        if (area.contains(frame.topLeft()) && area.contains(frame.center()) &&
            (kept.isEmpty() || kept == screenText(screen)))
            return true;
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

QPoint placeBeside(const QRect& owner, const QList<QRect>& others, QSize& size,
                   const QSize& minimum, const QRect& available) {
    QList<QRect> avoid{owner};
    avoid += others;
    const auto inside = [&](QPoint at, QSize side) {
        at.setX(std::max(available.left(), std::min(at.x(), available.right() + 1 - side.width())));
        at.setY(
            std::max(available.top(), std::min(at.y(), available.bottom() + 1 - side.height())));
        return at;
    };
    const auto covered = [](const QRect& frame, const QRect& other) {
        const QRect both = frame.intersected(other);
        return both.isEmpty() ? 0LL : 1LL * both.width() * both.height();
    };
    // The full size first, then smaller in four steps to the minimum: the first place on a
    // side of one of the windows (the main window's first) that covers none of them.
    constexpr int kSteps = 4;
    const QSize least = minimum.boundedTo(size);
    for (int step = 0; step <= kSteps; ++step) {
        const QSize tried = size - (size - least) * step / kSteps;
        for (const QRect& r : avoid) {
            const QPoint candidates[] = {
                {r.right() + 1 + kBesideGap, r.top()},
                {r.left() - kBesideGap - tried.width(), r.top()},
                {r.left(), r.bottom() + 1 + kBesideGap},
                {r.left(), r.top() - kBesideGap - tried.height()},
            };
            for (const QPoint& at : candidates) {
                const QRect frame(inside(at, tried), tried);
                if (available.contains(frame) &&
                    std::none_of(avoid.begin(), avoid.end(),
                                 [&](const QRect& a) { return frame.intersects(a); })) {
                    size = tried;
                    return frame.topLeft();
                }
            }
        }
    }
    // No room: at full size, the main window covered least, then the others.
    QPoint best = inside(QPoint(owner.right() + 1 + kBesideGap, owner.top()), size);
    std::pair<long long, long long> fewest{-1, -1};
    for (const QRect& r : avoid)
        for (const QPoint& at : {QPoint(r.right() + 1 + kBesideGap, r.top()),
                                 QPoint(r.left() - kBesideGap - size.width(), r.top()),
                                 QPoint(r.left(), r.bottom() + 1 + kBesideGap),
                                 QPoint(r.left(), r.top() - kBesideGap - size.height())}) {
            const QRect frame(inside(at, size), size);
            long long rest = 0;
            for (const QRect& other : others) rest += covered(frame, other);
            const std::pair<long long, long long> cost{covered(frame, owner), rest};
            if (fewest.first < 0 || cost < fewest) fewest = cost, best = frame.topLeft();
        }
    return best;
}

void placeWindow(QWidget* window, const QWidget& owner, int cascade, bool withSize,
                 const QList<QRect>& others) {
    const QRect kept = programSettings().value(placeKey(window)).toRect();
    if (kept.isValid() && onAScreen(kept, programSettings().value(screenKey(window)).toString())) {
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
    if (!withSize && others.isEmpty()) {
        window->move(placeBeside(ownerFrame, window->size() + margins, cascade, available));
        return;
    }
    // A resizable window may shrink to its smallest size to open clear of the others.
    QSize frame = window->size() + margins;
    const QSize minimum =
        withSize ? window->minimumSizeHint().expandedTo(window->minimumSize()) + margins : frame;
    const QPoint at = placeBeside(ownerFrame, others, frame, minimum, available);
    window->resize(frame - margins);
    window->move(at);
}

void rememberPlace(const QWidget* window) {
    programSettings().setValue(placeKey(window), QRect(window->pos(), window->size()));
    if (const QScreen* screen = window->screen())
        programSettings().setValue(screenKey(window), screenText(screen));
}

}  // namespace velmora
