#include "corvane/ui/ConnectionStatusView.h"
#include "corvane/ui/EnvironmentBadge.h"

#include <QLabel>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace corvane {
namespace {

TEST(ConnectionStatusView, ShowsEachStatesColourRingAndText)
{
    struct Case {
        SessionState state;
        QColor color;
        bool ring;
        QString text;
    };
    const Case cases[] = {
        {SessionState::idle(), QColor(0x8E, 0x8E, 0x93), false, "Idle"},
        {SessionState::verifyingHostKey(), QColor(0xFF, 0x95, 0x00), true, "Verifying host key…"},
        {SessionState::connecting(), QColor(0xFF, 0x95, 0x00), true, "Connecting…"},
        {SessionState::connected(), QColor(0x34, 0xC7, 0x59), false, "Connected"},
        {SessionState::disconnected(), QColor(0x8E, 0x8E, 0x93), false, "Disconnected"},
        {SessionState::failed(""), QColor(0xFF, 0x3B, 0x30), false, "Failed: "},
        {SessionState::failed("<b>refused</b>"), QColor(0xFF, 0x3B, 0x30), false, "Failed: <b>refused</b>"},
    };
    ConnectionStatusView view(SessionState::idle());
    for (const Case &c : cases) {
        view.setState(c.state);
        EXPECT_EQ(ConnectionStatusView::dotColor(c.state), c.color) << c.text.toStdString();
        EXPECT_EQ(view.isRingShown(), c.ring) << c.text.toStdString();
        EXPECT_EQ(view.text(), c.text);
    }
    for (const QLabel *label : view.findChildren<QLabel *>()) {
        EXPECT_EQ(label->textFormat(), Qt::PlainText);
    }
}

TEST(ConnectionStatusView, RingStaysFromVerifyingToConnectingAndGoesWhenConnected)
{
    ConnectionStatusView view(SessionState::verifyingHostKey());
    EXPECT_TRUE(view.isRingShown());
    view.setState(SessionState::connecting());
    EXPECT_TRUE(view.isRingShown());
    view.setState(SessionState::connected());
    EXPECT_FALSE(view.isRingShown());
}

TEST(EnvironmentBadge, EachEnvironmentHasItsTitleAndColour)
{
    struct Case {
        ServerEnvironment environment;
        QString title;
        QColor color;
    };
    const Case cases[] = {
        {ServerEnvironment::production, "Production", QColor(0xFF, 0x3B, 0x30)},
        {ServerEnvironment::staging, "Staging", QColor(0xFF, 0x95, 0x00)},
        {ServerEnvironment::development, "Development", QColor(0x00, 0x7A, 0xFF)},
        {ServerEnvironment::testing, "Testing", QColor(0x8E, 0x8E, 0x93)},
    };
    for (const Case &c : cases) {
        EnvironmentBadge badge(c.environment);
        EXPECT_EQ(badge.accessibleName(), c.title);
        EXPECT_EQ(EnvironmentBadge::color(c.environment), c.color) << c.title.toStdString();

        // The capsule is the colour at 0.18 over whatever lies beneath, and the title is drawn in it.
        badge.resize(badge.sizeHint());
        QImage image(badge.size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        badge.render(&image, {}, {}, QWidget::DrawChildren);
        const QColor inside = image.pixelColor(3, image.height() / 2);
        const auto blended = [](int channel) { return qRound(255 * (1 - 0.18) + channel * 0.18); };
        EXPECT_NEAR(inside.red(), blended(c.color.red()), 3) << c.title.toStdString();
        EXPECT_NEAR(inside.blue(), blended(c.color.blue()), 3) << c.title.toStdString();
    }
}

TEST(ProductionWarningBanner, SpansItsContainerWithPlainWhiteText)
{
    QWidget container;
    auto *layout = new QVBoxLayout(&container);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *banner = new ProductionWarningBanner(&container);
    layout->addWidget(banner);
    layout->addStretch(1);
    container.resize(900, 200);
    container.show();
    EXPECT_EQ(banner->width(), 900);

    bool found = false;
    for (const QLabel *label : banner->findChildren<QLabel *>()) {
        if (label->text() == "PRODUCTION — every command affects live infrastructure") {
            found = true;
            EXPECT_EQ(label->textFormat(), Qt::PlainText);
            EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(Qt::white));
        }
    }
    EXPECT_TRUE(found);
}

} // namespace
} // namespace corvane
