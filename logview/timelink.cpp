// SPDX-License-Identifier: GPL-3.0-or-later
#include "logview/timelink.h"

#include "logview/logviewcontroller.h"

#include <algorithm>
#include <utility>

TimeLink::TimeLink(QObject *parent) : QObject(parent) {}

void TimeLink::setEnabled(bool on)
{
    if (enabled == on)
        return;
    enabled = on;
    moved.clear();
    if (!enabled)
        return;
    for (const QPointer<LogViewController> &view : qAsConst(views)) {
        if (view && view->isActive())
            lead(view);
    }
}

void TimeLink::addView(LogViewController *view)
{
    views.removeAll(nullptr);
    if (views.contains(view))
        return;
    views.append(view);
    connect(view, &LogViewController::selectedLineMoved, this, [this, view] { viewMoved(view); });
}

void TimeLink::viewMoved(LogViewController *view)
{
    if (!enabled || linking)
        return;
    if (!moved.contains(view))
        moved.append(view);
    // Once the event loop runs: a press moves the line before it makes its panel the active one.
    if (!scheduled) {
        scheduled = true;
        QMetaObject::invokeMethod(this, &TimeLink::follow, Qt::QueuedConnection);
    }
}

void TimeLink::follow()
{
    scheduled = false;
    const QVector<QPointer<LogViewController>> movedNow = std::exchange(moved, {});
    if (!enabled)
        return;
    const auto leader = std::find_if(movedNow.cbegin(), movedNow.cend(),
                                     [](const auto &view) { return view && view->isActive(); });
    if (leader != movedNow.cend())
        lead(*leader);
}

void TimeLink::lead(LogViewController *leader)
{
    const qint64 time = leader->timeToLinkBy();
    if (time == linetime::none)
        return;
    linking = true;
    for (const QPointer<LogViewController> &view : qAsConst(views)) {
        if (view && view != leader)
            view->goToTime(time);
    }
    linking = false;
}
