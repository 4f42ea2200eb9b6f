#pragma once
// The window's slide editing: the slideshow document, the picture list that shows it (with
// thumbnails), the slide panel and the Slides menu (remove, move up and down, sort, the panel).
//
// The document is the one list of pictures. The window's classic list box (lstPictures), which
// Start, Add Photos and Clear use, is kept in step with it: every change of the document is
// copied there, never the other way, so both always hold the same paths in the same order.

#include "app/document/SlideshowDocument.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

class QAction;
class QListWidget;
class QMenu;
class QWidget;
class TPictureListModel;
class TPictureListView;
class TMotionRectDialog;
class TSlidePanel;
class TThumbnailLoader;

class TSlideEditor : public QObject {
    Q_OBJECT
public:
    // mirror: the list box kept in step with the document (hidden; the view takes its place).
    TSlideEditor(QWidget* parent, QListWidget* mirror);
    ~TSlideEditor() override;

    TSlideshowDocument& Document() { return document_; }
    TPictureListModel& Model() { return *model_; }
    TPictureListView* View() const { return view_; }
    TSlidePanel* Panel() const { return panel_; }
    TThumbnailLoader& Thumbnails() { return *thumbnails_; }

    // The Slides menu's entries; Delete and Ctrl+Up/Down work while the list has the focus.
    QAction* actRemove;
    QAction* actMoveUp;
    QAction* actMoveDown;
    QAction* actSortByName;
    QAction* actSortByDate;
    QAction* actSlidePanel; // shows or hides the panel (hidden at first)
    QAction* actMotionFraming; // the start and end framings of the one selected slide
    QAction* actAddTitle;      // a title slide after the selection (at the end without one)
    void FillMenu(QMenu* menu);

    // Opens (or brings up) the framing window of a slide; the open one, or nullptr.
    void EditMotionFraming(int slide);
    TMotionRectDialog* MotionFramingWindow() const;
    // The output frame's size as the window's choice stands ("1280x720"); the document's output
    // choice when not set.
    std::function<QString()> FrameSizeText;
    // The window's output choices as a job takes them (the framing window's moving preview).
    std::function<TSlideshowSettings()> OutputChoices;

    // Adds pictures at the end (Add Photos).
    void AppendPictures(const QStringList& files);

    void RemoveSelected();
    // Inserts a title slide of text after the selected slides and selects it.
    void AddTitleSlide(const QString& text);
    void MoveSelected(int delta);

    // A file dropped or given that is no picture.
    std::function<void(const QString&)> OnSkipped;
    // A name dropped or given that stands for no regular file (a named pipe, ...), with why.
    std::function<void(const QString& path, const QString& why)> OnRefused;

private:
    void MirrorAfter(const TDocumentChange& change);
    void MirrorAll();
    void SelectionChanged();

    TSlideshowDocument document_;
    QListWidget* mirror_;
    std::unique_ptr<TThumbnailLoader> thumbnails_;
    TPictureListModel* model_;
    TPictureListView* view_;
    TSlidePanel* panel_;
    int subscription_ = 0;
    QPointer<TMotionRectDialog> motionWindow_;
};
