#include "app/Application.h"

#include "app/StartupRules.h"
#include "settings/SettingsTable.h"
#include "platform/AtomicFile.h"
#include "platform/Paths.h"
#include "publish/FtpPanel.h"
#include "publish/FtpPublisher.h"
#include "source/SourcePrograms.h"
#include "ui/MessagePanel.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>

#include <cstdio>

namespace oculet {

Application::Application(std::unique_ptr<Desktop> desktop)
    : desktop_(std::move(desktop)), messages_(&window_), source_(*desktop_), sourceMenu_(&window_) {
    timer1_.setInterval(250);
    timer1_.setSingleShot(true);
    timer2_.setInterval(1000);
    timer3_.setInterval(2000);
    timer4_.setInterval(100);
    timer5_.setInterval(100);
    timer5_.setSingleShot(true);
    connect(&timer1_, &QTimer::timeout, this, &Application::onFrameTimer);
    connect(&timer2_, &QTimer::timeout, this, &Application::onClockTimer);
    connect(&timer3_, &QTimer::timeout, this, [this] { timer3_.stop(); });
    connect(&timer4_, &QTimer::timeout, this, [this] { timer4_.stop(); });
    connect(&timer5_, &QTimer::timeout, this, &Application::applySourceChoice);
    connect(&window_, &MainWindow::closeRequested, this, &Application::shutdown);
    connect(window_.lblProg(), &MenuLabel::clicked, this, &Application::showSourceMenu);
    connect(window_.lblFtp(), &MenuLabel::clicked, this, &Application::openPublishingPanel);
    connect(&sourceMenu_, &SourceMenu::chosen, this, [this](int index) {
        settings_.program = index;
        timer5_.start();
    });
}

Application::~Application() = default;

VirtualScreen Application::virtualScreen() const {
    const QRect r = desktop_->virtualScreen();
    return {r.left(), r.top(), r.width(), r.height()};
}

void Application::start() {
    dataFolder_ = Paths::dataFolder();
    easyPalFolder_ = Paths::easyPalFolder();
    // Nothing installs these folders here: start-up makes them so every later write has a place.
    QDir().mkpath(dataFolder_ + QStringLiteral("/Languages"));
    moveOffPictureIntoDataFolder(Paths::programFolder(), dataFolder_);

    const VirtualScreen screen = virtualScreen();
    store_ = IniFile::read(Paths::settingsFile());
    settings_ = loadSettings(store_, screen);
    started_ = true;

    window_.lblProg()->setText(sourceMenuCaption(settings_.program));

    const bool clockShown = settings_.current(settings_.clockOnZ) >= 1 || settings_.current(settings_.clockOnL) >= 1;
    if (clockShown) {
        timer2_.start();
    } else {
        timer2_.stop();
    }

    clampWindowPosition(settings_, screen);
    window_.move(qRound(settings_.meLeft / kTwipsPerPixel), qRound(settings_.meTop / kTwipsPerPixel));
    clampSignalMeterSource(settings_, screen);
    boxes_ = placeBoxesAtStartup(settings_);
    window_.showBoxes(boxes_);
    window_.show();

    cycle_ = std::make_unique<FrameCycle>(settings_, boxes_, edit_, *desktop_, source_, messages_,
                                          static_cast<FrameCycleView&>(*this),
                                          FrameFiles{dataFolder_, Paths::programFolder()});
    overlays_ = std::make_unique<Overlays>(settings_, boxes_, clock_, messages_, texts_, easyPalFolder_);
    cycle_->setOverlays(overlays_.get());
    source_.setFragment(titleFragmentFor(settings_.program, window_.lblProg()->text()));
    if (settings_.ftpOn) {
        cycle_->startupRedraw();
    }

    // The publishing panel shows the off picture (CamOff.jpg) and owns it from here on.
    ftpPanel_ = new FtpPanel(settings_, messages_, window_.picImg(), dataFolder_);
    connect(ftpPanel_, &FtpPanel::closed, this, &Application::closePublishingPanel);
    publisher_ = std::make_unique<FtpPublisher>(settings_, texts_, messages_);
    cycle_->setPublisher(publisher_.get());
    connect(publisher_.get(), &FtpPublisher::busy, this,
            [this](const QString& text) { window_.picMsg()->showMessage(text, QPoint(15, 150)); });
    connect(publisher_.get(), &FtpPublisher::idle, this, [this] {
        if (!shuttingDown_) {
            window_.picMsg()->hide();
        }
    });
    if (settings_.ftpOn) {
        // Connects in the background; frames are composed meanwhile and published once connected.
        publisher_->testFtpConnection();
    }

    timer3_.start();
    armFrameTimer();
}

void Application::armFrameTimer() {
    // A cycle still waiting for its publish step re-arms the timer itself when it ends.
    if (!cycleRunning_ && !shuttingDown_ && !timer1_.isActive()) {
        timer1_.start();
    }
}

void Application::openPublishingPanel() {
    edit_.layoutEditing = true;
    ftpPanel_->openPanel();
}

void Application::closePublishingPanel() {
    publisher_->testFtpConnection();
    armFrameTimer();
    edit_.layoutEditing = false;
}

void Application::onFrameTimer() {
    timer1_.stop();
    if (cycleRunning_) {
        return;
    }
    cycleRunning_ = true;
    cycle_->run([this] {
        cycleRunning_ = false;
        if (!shuttingDown_) {
            window_.picImg()->show();
            timer1_.start();
        }
    });
}

void Application::onClockTimer() {
    if (overlays_) {
        overlays_->clockTick();
    }
}

void Application::showSourceMenu() {
    sourceMenu_.popup(window_.mapToGlobal(QPoint(0, 22)), settings_.program);
}

void Application::applySourceChoice() {
    timer5_.stop();
    window_.lblProg()->setText(sourceMenu_.entry(settings_.clampedProgram())->text());
    placeBoxesForProgram(settings_, boxes_);
    window_.showBoxes(boxes_);
    source_.setFragment(titleFragmentFor(settings_.program, window_.lblProg()->text()));
    sourceMenu_.hide();
}

void Application::showFrame(const QImage& frame) { window_.picImg()->setFrame(frame); }

void Application::showBoxes(const OverlayBoxes& boxes) { window_.showBoxes(boxes); }

void Application::showSourceMissing(bool missing) { window_.showSourceMissing(missing); }

void Application::hideDragPreview() {}

void Application::requestShutdown() { shutdown(); }

void Application::writeOffPictureAsFrame() {
    const QImage off = ftpPanel_ != nullptr ? ftpPanel_->offPicture() : QImage();
    if (settings_.ftpOffPic != 1 || off.isNull()) {
        return;
    }
    // The webcam program that reads Cam_1.bmp shows the off picture once Oculet is gone.
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (off.convertToFormat(QImage::Format_RGB888).save(&buffer, "BMP")) {
        replaceFile(dataFolder_ + u'/' + FrameCycle::camBitmapName(), bytes);
    }
}

void Application::saveSettings() {
    // A minimised window has no meaningful place: the stored one is kept.
    const bool minimised = window_.isMinimized();
    if (!minimised) {
        settings_.meLeft = window_.x() * kTwipsPerPixel;
        settings_.meTop = window_.y() * kTwipsPerPixel;
    }
    oculet::saveSettings(settings_, store_, !minimised);
    QString error;
    if (!store_.write(Paths::settingsFile(), &error)) {
        std::fprintf(stderr, "Oculet: the settings could not be saved: %s\n", qPrintable(error));
    }
}

void Application::saveSettingsIfNotShutDown() {
    if (!started_ || shuttingDown_) {
        return;
    }
    shuttingDown_ = true;
    saveSettings();
}

void Application::shutdown() {
    if (shuttingDown_) {
        return;
    }
    shuttingDown_ = true;
    timer1_.stop();
    timer2_.stop();
    timer3_.stop();
    timer4_.stop();
    timer5_.stop();
    sourceMenu_.hide();

    window_.picMsg()->showMessage(texts_.closing, QPoint(15, 150));

    writeOffPictureAsFrame();

    saveSettings();

    // Publishes the off picture, or withdraws the published one, and closes the connection.
    // Bounded: a dead server holds the closing for a few seconds at most.
    if (publisher_) {
        publisher_->shutdown();
    }

    window_.allowClose();
    window_.close();
    QCoreApplication::quit();
}

} // namespace oculet
