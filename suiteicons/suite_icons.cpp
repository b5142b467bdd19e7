#include "suite_icons.h"

#include <QHash>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

// Resources of a static library are registered by name before the first lookup.
static void initSuiteIconResources()
{
    Q_INIT_RESOURCE(suite_icons);
}

namespace suite {

QImage renderSvg(const QString& resource, int size)
{
    static const bool registered = (initSuiteIconResources(), true);
    (void)registered;
    QSvgRenderer renderer(resource);
    if (!renderer.isValid() || size <= 0)
        return {};
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter);
    return image;
}

QIcon svgIcon(const QString& resource, std::initializer_list<int> sizes)
{
    // Widgets ask for icons from the user-interface thread only.
    static QHash<QString, QIcon> cache;
    const auto it = cache.constFind(resource);
    if (it != cache.constEnd())
        return *it;
    QIcon icon;
    for (int size : sizes) {
        const QImage image = renderSvg(resource, size);
        if (!image.isNull())
            icon.addPixmap(QPixmap::fromImage(image));
    }
    cache.insert(resource, icon);
    return icon;
}

QIcon programIcon(const QString& program)
{
    return svgIcon(":/suite/icons/" + program + ".svg", {16, 24, 32, 48, 64, 128});
}

QIcon documentIcon(const QString& mimeIconName)
{
    return svgIcon(":/suite/icons/mimetypes/" + mimeIconName + ".svg");
}

} // namespace suite
