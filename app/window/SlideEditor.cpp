#include "app/window/SlideEditor.h"

#include "app/output/FrameSizeLimits.h"
#include "app/pictures/PhotoDate.h"
#include "app/captions/TitleSlide.h"
#include "app/window/MotionRectDialog.h"
#include "app/window/PictureListModel.h"
#include "app/window/PictureListView.h"
#include "app/window/SlidePanel.h"
#include "app/window/ThumbnailLoader.h"

#include <QAction>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QListWidget>
#include <QMenu>

#include <algorithm>

TSlideEditor::TSlideEditor(QWidget* parent, QListWidget* mirror) : QObject(parent), mirror_(mirror) {
    thumbnails_ = std::make_unique<TThumbnailLoader>(QSize(48, 36));
    model_ = new TPictureListModel(document_, thumbnails_.get(), this);
    model_->DateTakenOf = [](const QString& path) {
        QString date = QString::fromStdString(PhotoDateTakenStamp(path.toStdString()));
        if (date.isEmpty()) // no camera date: the file's own time, in the same shape
            date = QFileInfo(path).lastModified().toString("yyyy:MM:dd HH:mm:ss");
        return date;
    };
    model_->OnSkipped = [this](const QString& path) {
        if (OnSkipped)
            OnSkipped(path);
    };
    model_->OnRefused = [this](const QString& path, const QString& why) {
        if (OnRefused)
            OnRefused(path, why);
    };
    view_ = new TPictureListView(*model_, parent);
    panel_ = new TSlidePanel(*model_, parent);
    panel_->hide();

    actRemove = new QAction("&Remove", this);
    actRemove->setShortcut(QKeySequence::Delete);
    actMoveUp = new QAction("Move &Up", this);
    actMoveUp->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Up));
    actMoveDown = new QAction("Move &Down", this);
    actMoveDown->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Down));
    // The keys act on the list only: Delete in the caption field deletes a letter, not slides.
    for (QAction* a : {actRemove, actMoveUp, actMoveDown}) {
        a->setShortcutContext(Qt::WidgetShortcut);
        view_->addAction(a);
    }
    actSortByName = new QAction("Sort by &Name", this);
    actSortByDate = new QAction("Sort by Date &Taken", this);
    actSlidePanel = new QAction("Slide &Panel", this);
    actSlidePanel->setCheckable(true);
    actSlidePanel->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    actMotionFraming = new QAction("Motion &Framing...", this);
    actMotionFraming->setEnabled(false);
    actAddTitle = new QAction("Add &Title Slide", this);
    connect(actAddTitle, &QAction::triggered, this, [this] { AddTitleSlide("Title"); });

    connect(actRemove, &QAction::triggered, this, &TSlideEditor::RemoveSelected);
    connect(actMoveUp, &QAction::triggered, this, [this] { MoveSelected(-1); });
    connect(actMoveDown, &QAction::triggered, this, [this] { MoveSelected(1); });
    connect(actSortByName, &QAction::triggered, this, [this] { model_->SortByName(); });
    connect(actSortByDate, &QAction::triggered, this, [this] { model_->SortByDate(); });
    connect(actSlidePanel, &QAction::toggled, panel_, &QWidget::setVisible);
    connect(actMotionFraming, &QAction::triggered, this, [this] {
        if (const QList<int> rows = view_->SelectedRows(); rows.size() == 1)
            EditMotionFraming(rows.first());
    });
    connect(view_, &QAbstractItemView::doubleClicked, this, [this] { actSlidePanel->setChecked(true); });
    connect(view_->selectionModel(), &QItemSelectionModel::selectionChanged, this, &TSlideEditor::SelectionChanged);
    // Rows moving or going change what the selected rows are.
    connect(model_, &QAbstractItemModel::rowsMoved, this, &TSlideEditor::SelectionChanged);
    connect(model_, &QAbstractItemModel::rowsRemoved, this, &TSlideEditor::SelectionChanged);
    connect(model_, &QAbstractItemModel::modelReset, this, &TSlideEditor::SelectionChanged);

    // Subscribed after the model, so the list box hears of a change after the views did.
    subscription_ = document_.Subscribe(nullptr, [this](const TDocumentChange& c) { MirrorAfter(c); });
    MirrorAll();
}

TSlideEditor::~TSlideEditor() {
    delete motionWindow_; // it edits the document that goes with this object
    document_.Unsubscribe(subscription_);
    // The views go with the window; the model must not outlive the document it reads.
    view_->setModel(nullptr);
    panel_->SetRows({});
    delete model_; // before the document it reads, and before the thumbnails it shows
    model_ = nullptr;
    thumbnails_.reset();
}

void TSlideEditor::FillMenu(QMenu* menu) {
    menu->addAction(actRemove);
    menu->addAction(actMoveUp);
    menu->addAction(actMoveDown);
    menu->addSeparator();
    menu->addAction(actSortByName);
    menu->addAction(actSortByDate);
    menu->addSeparator();
    menu->addAction(actSlidePanel);
    menu->addAction(actMotionFraming);
    menu->addAction(actAddTitle);
}

void TSlideEditor::AddTitleSlide(const QString& text) {
    const QList<int> rows = view_->SelectedRows();
    int at = document_.SlideCount();
    if (!rows.isEmpty())
        at = *std::max_element(rows.begin(), rows.end()) + 1;
    document_.InsertSlides(at, {TitleSlide(text.toStdString())});
    view_->SelectRows({at});
    actSlidePanel->setChecked(true);
}

TMotionRectDialog* TSlideEditor::MotionFramingWindow() const { return motionWindow_.data(); }

void TSlideEditor::EditMotionFraming(int slide) {
    if (slide < 0 || slide >= document_.SlideCount())
        return;
    if (motionWindow_ && motionWindow_->SlideIndex() != slide)
        delete motionWindow_;
    if (!motionWindow_) {
        const TFrameSize size = SlideshowFrameSize(FrameSizeText ? FrameSizeText().toStdString() : document_.Output().FrameSize);
        const double aspect = size.Height > 0 ? double(size.Width) / size.Height : 4.0 / 3.0;
        motionWindow_ = new TMotionRectDialog(document_, slide, aspect, view_->window());
        if (OutputChoices)
            motionWindow_->SetChoices(OutputChoices);
    }
    motionWindow_->show();
    motionWindow_->raise();
    motionWindow_->activateWindow();
}

void TSlideEditor::AppendPictures(const QStringList& files) { model_->AddFiles(files); }

void TSlideEditor::RemoveSelected() {
    const QList<int> rows = view_->SelectedRows();
    if (rows.isEmpty())
        return;
    model_->RemoveRows(rows);
    // The slide that took the place of the first removed one is selected next.
    const int next = std::min(rows.first(), model_->rowCount() - 1);
    if (next >= 0)
        view_->SelectRows({next});
}

void TSlideEditor::MoveSelected(int delta) {
    const QList<int> rows = view_->SelectedRows();
    if (rows.isEmpty())
        return;
    view_->SelectRows(model_->MoveRowsBy(rows, delta));
}

void TSlideEditor::SelectionChanged() {
    const QList<int> rows = view_->SelectedRows();
    panel_->SetRows(rows);
    actMotionFraming->setEnabled(rows.size() == 1);
}

void TSlideEditor::MirrorAfter(const TDocumentChange& change) {
    if (!mirror_)
        return;
    const auto text = [this](int r) { return QString::fromStdString(document_.Slide(r).Picture); };
    switch (change.Kind) {
    case TDocumentChange::SlidesInserted: {
        QStringList texts;
        for (int r = change.First; r < change.First + change.Count; ++r)
            texts << text(r);
        mirror_->insertItems(change.First, texts);
        break;
    }
    case TDocumentChange::SlidesRemoved:
        for (int i = 0; i < change.Count; ++i)
            delete mirror_->takeItem(change.First);
        break;
    case TDocumentChange::SlidesEdited:
        for (int r = change.First; r < change.First + change.Count; ++r)
            if (QListWidgetItem* item = mirror_->item(r))
                item->setText(text(r));
        break;
    case TDocumentChange::SlidesMoved: {
        // The block is taken out and put back where the document now has it.
        QList<QListWidgetItem*> block;
        for (int i = 0; i < change.Count; ++i)
            block << mirror_->takeItem(change.First);
        const int at = change.Destination > change.First ? change.Destination - change.Count : change.Destination;
        for (int i = 0; i < block.size(); ++i)
            mirror_->insertItem(at + i, block[i]);
        break;
    }
    case TDocumentChange::Reset:
        MirrorAll();
        break;
    default:
        break;
    }
}

void TSlideEditor::MirrorAll() {
    if (!mirror_)
        return;
    mirror_->clear();
    QStringList texts;
    for (const TSlide& slide : document_.Slides())
        texts << QString::fromStdString(slide.Picture);
    mirror_->addItems(texts);
}
