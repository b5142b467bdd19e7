#include "icons.h"

#include "suite_icons.h"

#include <QHash>
#include <QImage>
#include <QPixmap>

// Resources of a static library must be registered by name from the program.
static void initOrmolithResources()
{
    Q_INIT_RESOURCE(ormolith);
}

namespace ormolith {

QImage renderIcon(const QString& resource, int size)
{
    static const bool registered = (initOrmolithResources(), true);
    (void)registered;
    return suite::renderSvg(resource, size);
}

namespace {

// Drawn once per name; the icon keeps pixmaps for the sizes menus, toolbars and frames use.
QIcon iconFor(const QString& name, std::initializer_list<int> sizes)
{
    static QHash<QString, QIcon> cache;
    auto it = cache.find(name);
    if (it != cache.end())
        return *it;
    QIcon icon;
    for (int size : sizes) {
        const QImage image = renderIcon(":/ormolith/icons/" + name + ".svg", size);
        if (!image.isNull())
            icon.addPixmap(QPixmap::fromImage(image));
    }
    cache.insert(name, icon);
    return icon;
}

} // namespace

// The suite's picture of the program, the one the desktop shows for it too.
QIcon appIcon()
{
    return suite::programIcon("ormolith");
}

QIcon kindIcon(unsigned kind)
{
    return iconFor(kind == 1 ? "mebius" : "affine", {16, 32, 48});
}

QIcon toolIcon(const char* name)
{
    return iconFor(QString::fromUtf8(name), {16, 24, 32});
}

} // namespace ormolith
