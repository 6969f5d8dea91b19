// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/lineicons.h"

#include "telegram/telegramrecord.h"

#include <QMap>
#include <QPair>

// Q_INIT_RESOURCE must be used outside any namespace.
static void initIconResources()
{
    Q_INIT_RESOURCE(images);
}

namespace
{
using IconKey = QPair<int, bool>;

QMap<IconKey, QPixmap> loadIcons()
{
    initIconResources();
    const struct {
        int type;
        const char *plain;
        const char *selected;
    } files[] = {
        {PPO3Request, "PPO3Request", "Selected_PPO3Request"},
        {PPO3Response, "PPO3Response", "Selected_PPO3Response"},
        {Read, "Read", "Selected_Read"},
        {ReadDescription, "ReadDescription", "Selected_ReadDescription"},
        {Write, "Write", "Selected_Write"},
        // The volatile write has one picture with a yellow background of its own.
        {WriteVolatile, "WriteVolatile", "WriteVolatile"},
        {ResponseOK, "ResponseOK", "Selected_ResponseOK"},
        {ResponseError, "ResponseError", "Selected_ResponseError"},
    };
    const auto path = [](const char *name) {
        return QStringLiteral(":/images/%1.bmp").arg(QLatin1String(name));
    };
    QMap<IconKey, QPixmap> icons;
    for (const auto &file : files) {
        icons.insert(IconKey(file.type, false), QPixmap(path(file.plain)));
        icons.insert(IconKey(file.type, true), QPixmap(path(file.selected)));
    }
    return icons;
}
} // namespace

const QPixmap &iconForLineType(int type, bool selected)
{
    // Function-local statics: built once, thread-safely, and kept until the program ends.
    static const QMap<IconKey, QPixmap> icons = loadIcons();
    const auto found = icons.constFind(IconKey(type, selected));
    if (found != icons.constEnd())
        return found.value();
    static const QPixmap none;
    return none;
}
