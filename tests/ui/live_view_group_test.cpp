#include "settings/InterfaceTexts.h"
#include "settings/Settings.h"
#include "ui/LiveViewGroup.h"
#include "web/LiveView.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTcpServer>

#include <gtest/gtest.h>

namespace oculet {
namespace {

// The group turns the live view on and off, shows the page's address as a link, and says in the
// language's words when the port is taken.
TEST(LiveViewGroup, TurnsTheLiveViewOnAndSaysWhenThePortIsTaken) {
    QTcpServer holder;
    ASSERT_TRUE(holder.listen(QHostAddress::LocalHost, 0));
    Settings settings;
    settings.webPort = holder.serverPort();
    InterfaceTexts texts;
    texts.set(Text::LiveViewPortTaken, QStringLiteral("Poort %1 is bezet."));
    LiveView view;
    LiveViewGroup group(settings, view, texts);
    auto* on = group.findChild<QCheckBox*>("ckLiveView");
    auto* port = group.findChild<QSpinBox*>("txtLivePort");
    auto* address = group.findChild<QLabel*>("lblLiveAddress");
    ASSERT_TRUE(on && port && address);
    EXPECT_FALSE(on->isChecked());

    on->setChecked(true);
    EXPECT_TRUE(settings.webOn);
    EXPECT_EQ(view.state(), LiveView::State::PortInUse);
    EXPECT_EQ(address->text(), QStringLiteral("Poort %1 is bezet.").arg(holder.serverPort()));

    holder.close();
    port->setValue(holder.serverPort() == 65535 ? 65534 : holder.serverPort() + 1);
    emit port->editingFinished();
    ASSERT_EQ(view.state(), LiveView::State::Serving) << view.error().toStdString();
    EXPECT_EQ(settings.webPort, port->value());
    EXPECT_TRUE(address->text().contains(QStringLiteral("href=\"http://127.0.0.1:%1/\"").arg(port->value())));
    EXPECT_TRUE(address->openExternalLinks());

    group.findChild<QLineEdit*>("txtLivePassword")->setText(QStringLiteral("pw"));
    EXPECT_EQ(settings.webPassword, QStringLiteral("pw"));
    on->setChecked(false);
    EXPECT_EQ(view.state(), LiveView::State::Off);
    EXPECT_TRUE(address->text().isEmpty());
}

} // namespace
} // namespace oculet
