// The pictures a user sees: the program's icon on the main window, each document type's icon on
// its windows and properties sheets, and a drawn picture on every toolbar button. Expected
// pictures are drawn here straight from the SVG files in the source tree.
#include "henon_view.h"
#include "ifs_dialogs.h"
#include "julia_properties.h"
#include "lsystem_view.h"
#include "main_wnd.h"
#include "scripted_prompts.h"

#include <QAction>
#include <QLabel>
#include <QPainter>
#include <QSvgRenderer>
#include <QToolBar>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace fractals;

namespace {

QImage drawnSvg(const QString& relativePath, int size)
{
    QSvgRenderer renderer(QStringLiteral(SUITE_SOURCE_DIR "/") + relativePath);
    EXPECT_TRUE(renderer.isValid()) << relativePath.toStdString();
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter);
    return image;
}

QImage documentSvg(const char* type, int size)
{
    return drawnSvg(QStringLiteral("desktop/icons/mimetypes/application-x-fractals-%1.svg")
                        .arg(QLatin1String(type)),
                    size);
}

QImage imageOf(const QPixmap& pixmap)
{
    return pixmap.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QImage imageOf(const QIcon& icon, int size)
{
    return imageOf(icon.pixmap(size, size));
}

} // namespace

TEST(Icons, PropertiesSheetsShowTheirDocumentTypesIcon)
{
    test::ScriptedPrompts prompts;
    CHenonDoc henon;
    CJuliaDoc julia;
    CMandelDoc mandel;
    CJuliacosDoc juliacos;
    std::unique_ptr<CLsystemDoc> lsystem = CLsystemDoc::makeNew();
    CIfsDoc ifs;
    struct Sheet {
        const char* type;
        std::function<std::unique_ptr<QDialog>()> open;
    };
    const Sheet sheets[] = {
        {"henon", [&] { return std::make_unique<CHenonPropertiesSheet>(henon, nullptr); }},
        {"julia", [&] { return std::make_unique<CJuliaPropertiesSheet>(julia, 7, nullptr); }},
        {"mandel", [&] { return std::make_unique<CJuliaPropertiesSheet>(mandel, 8, nullptr); }},
        {"juliacos", [&] { return std::make_unique<CJuliaPropertiesSheet>(juliacos, 9, nullptr); }},
        {"lsystem", [&] { return std::make_unique<CLsystemPropertiesSheet>(*lsystem, nullptr); }},
        {"ifs", [&] { return std::make_unique<CIfsPropertiesSheet>(ifs, nullptr); }},
        // A frame belongs to an IFS document.
        {"ifs", [&] { return std::make_unique<CFramePropertiesSheet>(CIfsFrame{}, nullptr); }},
    };
    for (const Sheet& s : sheets) {
        SCOPED_TRACE(s.type);
        const std::unique_ptr<QDialog> sheet = s.open();
        QLabel* icon = nullptr;
        for (QLabel* label : sheet->findChildren<QLabel*>())
            if (label->objectName().startsWith("icon"))
                icon = label;
        ASSERT_NE(icon, nullptr);
        EXPECT_EQ(imageOf(icon->pixmap()), documentSvg(s.type, 32));
    }
}

TEST(Icons, MainWindowShowsTheProgramsIconAndEachDocumentWindowItsTypes)
{
    test::ScriptedPrompts prompts;
    CMainWnd main;
    EXPECT_EQ(imageOf(main.windowIcon(), 32), drawnSvg("desktop/icons/fractals.svg", 32));
    const std::pair<int, const char*> kinds[] = {{3, "ifs"},   {4, "lsystem"}, {6, "henon"},
                                                 {7, "julia"}, {8, "mandel"},  {9, "juliacos"}};
    for (const auto& [id, type] : kinds) {
        SCOPED_TRACE(type);
        CFractalWnd* frame = main.newDocument(id);
        ASSERT_NE(frame, nullptr);
        EXPECT_EQ(imageOf(frame->windowIcon(), 16), documentSvg(type, 16));
    }
}

TEST(Icons, EveryToolbarButtonHasAPictureOfItsOwn)
{
    test::ScriptedPrompts prompts;
    CMainWnd main;
    auto* toolbar = main.findChild<QToolBar*>("Toolbar");
    ASSERT_NE(toolbar, nullptr);
    QList<QImage> seen;
    int buttons = 0;
    for (QAction* a : toolbar->actions()) {
        if (a->isSeparator())
            continue;
        ++buttons;
        SCOPED_TRACE(a->toolTip().toStdString());
        ASSERT_FALSE(a->icon().isNull());
        const QImage image = imageOf(a->icon(), 16);
        EXPECT_FALSE(seen.contains(image)) << "two buttons look the same";
        seen << image;
    }
    EXPECT_EQ(buttons, 21);
    // Spot checks that a button shows the picture drawn for its command.
    const std::pair<QString, const char*> spots[] = {{"Zoom In", "zoom_in"}, {"Stop", "stop"}};
    for (const auto& [tip, file] : spots) {
        QAction* button = nullptr;
        for (QAction* a : toolbar->actions())
            if (a->toolTip() == tip)
                button = a;
        ASSERT_NE(button, nullptr) << tip.toStdString();
        EXPECT_EQ(imageOf(button->icon(), 16),
                  drawnSvg(QStringLiteral("fractals/framework/ui/icons/%1.svg").arg(file), 16));
    }
}
