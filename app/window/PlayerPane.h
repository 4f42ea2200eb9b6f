#pragma once
// The player pane (View menu, "Player"): the slideshow of the document as the window's choices
// would make it, played at a preview size that fits the pane, with its sound. Space plays and
// pauses while the pane has the focus; the scrubber shows any frame while it is dragged (without
// sound) and plays on from where it is let go. Selecting a slide in the
// picture list shows it; a change of the document or of the window's choices is drawn again at
// once. Start stops the player, and it does not play while a job runs.

#include "app/show/OutputChoices.h"

#include <QDockWidget>

#include <functional>
#include <QImage>
#include <QWidget>

class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QTimer;
class TEditMenu;
class QMainWindow;
class TPlayer;
class TPlayerScrubber;
class TSlideEditor;

// The picture area: the frame shown, centred on black.
class TPlayerPicture : public QWidget {
    Q_OBJECT
public:
    explicit TPlayerPicture(QWidget* parent = nullptr);
    void SetPicture(const QImage& image);
    QSize sizeHint() const override { return QSize(480, 270); }

signals:
    void Resized(QSize size);

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;

private:
    QImage image_;
};

class TPlayerPane : public QDockWidget {
    Q_OBJECT
public:
    // choices: the window's output choices as Start hands them to a job; busy: a job runs or is
    // paused (the player then draws nothing).
    TPlayerPane(QMainWindow& window, TSlideEditor& slides, TEditMenu& edit, std::function<TSlideshowSettings()> choices,
                std::function<bool()> busy);
    ~TPlayerPane() override;

    TPlayer& Player() { return *player_; }
    QAction* actShowPlayer; // shows or hides the pane
    QAction* actPlayPause;  // Space
    TPlayerPicture* picPlayer;
    QPushButton* btnPlay;
    TPlayerScrubber* barScrub;
    QLabel* lblTime;
    QLabel* lblNotice;
    void FillMenu(QMenu* menu);

    // A job starts: the player stops and stays stopped until it has ended.
    void JobStarting();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void ReloadSoon();
    void SelectionChanged();
    void ShowState();
    void Scrubbed(long long frame);
    void Released(long long frame);

    std::function<TSlideshowSettings()> choices_;
    std::function<bool()> busy_;
    TSlideEditor& slides_;
    TPlayer* player_;
    QTimer* reload_;
    int subscription_ = 0;
    bool stale_ = true;
    int pendingSlide_ = -1; // selected while the show was being prepared
};
