#include "app/window/PlayerPane.h"

#include "app/playback/Player.h"
#include "app/window/EditMenu.h"
#include "app/window/PictureListView.h"
#include "app/window/PlayerScrubber.h"
#include "app/window/SlideEditor.h"

#include <QAction>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <utility>

namespace {
QString TimeText(double seconds) {
    const int tenths = int(seconds * 10 + 0.5);
    return QString("%1:%2.%3").arg(tenths / 600).arg(tenths / 10 % 60, 2, 10, QChar('0')).arg(tenths % 10);
}
} // namespace

TPlayerPicture::TPlayerPicture(QWidget* parent) : QWidget(parent) {
    setMinimumSize(160, 90);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TPlayerPicture::SetPicture(const QImage& image) {
    image_ = image;
    update();
}

void TPlayerPicture::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    if (!image_.isNull())
        p.drawImage(QPoint((width() - image_.width()) / 2, (height() - image_.height()) / 2), image_);
}

void TPlayerPicture::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    emit Resized(size());
}

TPlayerPane::TPlayerPane(QMainWindow& window, TSlideEditor& slides, TEditMenu& edit,
                         std::function<TSlideshowSettings()> choices, std::function<bool()> busy)
    : QDockWidget("Player", &window), choices_(std::move(choices)), busy_(std::move(busy)), slides_(slides), player_(new TPlayer(this)),
      reload_(new QTimer(this)) {
    setObjectName("PlayerPane");
    setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
    auto* body = new QWidget(this);
    auto* column = new QVBoxLayout(body);
    column->setContentsMargins(4, 4, 4, 4);
    column->setSpacing(4);
    picPlayer = new TPlayerPicture(body);
    column->addWidget(picPlayer, 1);
    barScrub = new TPlayerScrubber(body);
    column->addWidget(barScrub);
    auto* row = new QHBoxLayout;
    btnPlay = new QPushButton("Play", body);
    btnPlay->setFocusPolicy(Qt::NoFocus); // Space belongs to the pane, not to the button
    lblTime = new QLabel(body);
    lblNotice = new QLabel(body);
    lblNotice->setWordWrap(true);
    row->addWidget(btnPlay);
    row->addWidget(lblTime);
    row->addWidget(lblNotice, 1);
    column->addLayout(row);
    setWidget(body);
    body->setFocusPolicy(Qt::StrongFocus);
    setFocusProxy(body);

    actShowPlayer = toggleViewAction();
    actShowPlayer->setText("&Player");
    actShowPlayer->setShortcut(QKeySequence(Qt::Key_F8));
    actPlayPause = new QAction("Play/&Pause", this);
    actPlayPause->setShortcut(QKeySequence(Qt::Key_Space));
    actPlayPause->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(actPlayPause);
    connect(actPlayPause, &QAction::triggered, player_, &TPlayer::Toggle);
    connect(btnPlay, &QPushButton::clicked, player_, &TPlayer::Toggle);

    player_->Source = [this] {
        TSlideshowData data = slides_.Document().Data();
        data.Output = choices_(); // as Start hands it to the job
        return data;
    };
    // The framing window's preview moves the slide with the same choices.
    slides_.OutputChoices = choices_;
    // A job runs (or waits paused) while Stop can end it.
    player_->Busy = [this] { return busy_(); };

    reload_->setSingleShot(true);
    reload_->setInterval(40); // a burst of changes (typing a caption) is drawn once
    connect(reload_, &QTimer::timeout, this, [this] {
        if (busy_()) {
            // Changed while a job runs: drawn again once it has ended, so that the frame on
            // show is never one from before the change.
            reload_->start(500);
            return;
        }
        stale_ = false;
        player_->Reload();
    });
    subscription_ = slides_.Document().Subscribe(nullptr, [this](const TDocumentChange&) { ReloadSoon(); });
    connect(&edit, &TEditMenu::WindowChoicesChanged, this, &TPlayerPane::ReloadSoon);
    connect(slides_.View()->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TPlayerPane::SelectionChanged);
    connect(picPlayer, &TPlayerPicture::Resized, this, [this](QSize room) { player_->SetRoom(room); });
    connect(player_, &TPlayer::FrameShown, this, [this](long long frame) {
        picPlayer->SetPicture(player_->Picture());
        if (!barScrub->Dragging())
            barScrub->SetPosition(frame);
        ShowState();
    });
    connect(player_, &TPlayer::ShapeChanged, this, [this] {
        barScrub->SetShow(player_->FrameCount(), player_->SlideStarts());
        if (pendingSlide_ >= 0 && player_->Ready())
            player_->ShowSlide(std::exchange(pendingSlide_, -1));
        ShowState();
    });
    connect(player_, &TPlayer::StateChanged, this, &TPlayerPane::ShowState);
    connect(barScrub, &TPlayerScrubber::Scrubbed, this, &TPlayerPane::Scrubbed);
    connect(barScrub, &TPlayerScrubber::Released, this, &TPlayerPane::Released);
    hide();
    ShowState();
}

TPlayerPane::~TPlayerPane() { slides_.Document().Unsubscribe(subscription_); }

void TPlayerPane::FillMenu(QMenu* menu) {
    menu->addAction(actShowPlayer);
    menu->addAction(actPlayPause);
}

void TPlayerPane::showEvent(QShowEvent* event) {
    QDockWidget::showEvent(event);
    if (stale_)
        ReloadSoon();
}

void TPlayerPane::ReloadSoon() {
    stale_ = true;
    if (isVisible())
        reload_->start(40);
}

void TPlayerPane::SelectionChanged() {
    const QList<int> rows = slides_.View()->SelectedRows();
    if (rows.size() != 1 || !isVisible())
        return;
    // While the show is still being prepared the slide is shown once it is there.
    pendingSlide_ = player_->Ready() && !reload_->isActive() ? -1 : rows.first();
    if (pendingSlide_ < 0)
        player_->ShowSlide(rows.first());
}

void TPlayerPane::Scrubbed(long long frame) { player_->ShowFrame(frame); }

void TPlayerPane::Released(long long frame) { player_->PlayFrom(frame); }

void TPlayerPane::JobStarting() {
    player_->Stop();
    reload_->stop();
    stale_ = true;
}

void TPlayerPane::ShowState() {
    btnPlay->setText(player_->Playing() ? "Pause" : "Play");
    const double fps = std::max(player_->FramesPerSecond(), 1.0);
    lblTime->setText(TimeText(player_->Position() / fps) + " / " + TimeText(player_->FrameCount() / fps));
    lblNotice->setText(player_->Notice());
}
