#include "AppSetup.h"

#include "forms/Version.h"

#include <QApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QProxyStyle>
#include <QStyleOptionFocusRect>
#include <QTranslator>

static void initIconResources() { Q_INIT_RESOURCE(resources); }

namespace wsx {

namespace {

// Keeps the desktop's look but pins the slider's behaviour: a left click on the track moves
// the thumb by the page step (it would jump to the click under some themes), so a click
// seeks by five seconds as the window expects; and a focused slider shows a focus frame.
class PageStepSliderStyle final : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_Slider_AbsoluteSetButtons) return Qt::NoButton;
        if (hint == SH_Slider_PageSetButtons) return Qt::LeftButton;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
    // Fusion marks a focused slider only by tinting its handle's edge: a focus frame around
    // the whole slider makes plain where the keyboard is, as on the buttons and options.
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                            QPainter* painter, const QWidget* widget) const override {
        QProxyStyle::drawComplexControl(control, option, painter, widget);
        if (control != CC_Slider || !(option->state & State_HasFocus)) return;
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(*option);
        drawPrimitive(PE_FrameFocusRect, &focus, painter, widget);
    }
};

}  // namespace

void setUpApplication(QApplication& app) {
    initIconResources();
    app.setApplicationName(QStringLiteral("wanshengxia"));
    app.setApplicationDisplayName(QStringLiteral(WSX_PRODUCT_NAME));
    app.setDesktopFileName(QStringLiteral("wanshengxia"));
    app.setWindowIcon(QIcon(QStringLiteral(":/icons/DEFAULT")));
    // The window lives on in the tray when hidden; only unloading it ends the program.
    app.setQuitOnLastWindowClosed(false);
    app.setStyle(new PageStepSliderStyle);

    auto* translator = new QTranslator(&app);
    if (translator->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                         QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);

    // Noto Serif CJK SC first: AR PL UMing's bold Latin smears "l" into "1" ("Ctr1+A1t+").
    // UMing stays the fallback where fonts-noto-cjk is not installed.
    const QStringList songFaces = {
        QStringLiteral("Noto Serif CJK SC"), QStringLiteral("AR PL UMing CN"),
        QStringLiteral("AR PL UMing TW"), QStringLiteral("Noto Sans CJK SC")};
    QFont::insertSubstitutions(QStringLiteral("宋体"), songFaces);
    QFont::insertSubstitutions(QStringLiteral("SimSun"), songFaces);
    app.setFont(QFont(QStringLiteral("宋体"), 9));
}

}  // namespace wsx
