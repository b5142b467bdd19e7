#include "icons.h"

#include "main_wnd.h"
#include "suite_icons.h"

// Resources of a static library are registered by name before the first lookup.
static void initFractalsResources()
{
    Q_INIT_RESOURCE(fractals_ui);
}

namespace fractals {

QIcon programIcon()
{
    return suite::programIcon("fractals");
}

QIcon docTypeIcon(const ViewTemplate& tmpl)
{
    const QIcon icon = tmpl.iconName.isEmpty() ? QIcon() : suite::documentIcon(tmpl.iconName);
    return icon.isNull() ? programIcon() : icon;
}

QIcon docTypeIcon(int typeId)
{
    const ViewTemplate* tmpl = viewTemplate(typeId);
    return tmpl ? docTypeIcon(*tmpl) : programIcon();
}

QIcon toolIcon(const char* name)
{
    static const bool registered = (initFractalsResources(), true);
    (void)registered;
    // Toolbar buttons are 16 pixels; menus and large-icon styles ask for more.
    return suite::svgIcon(":/fractals/icons/" + QString::fromUtf8(name) + ".svg", {16, 24, 32});
}

} // namespace fractals
