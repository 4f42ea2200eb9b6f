#pragma once
// The picture list as Qt's views see it: one row per slide of the slideshow document. The model
// keeps no list of its own; it reads the document and turns the document's change notices into
// row signals, so every edit (from the view, the slide panel, a menu or an opened project) reaches
// every view the same way. Reordering, removing, adding dropped files and bulk edits are the
// model's functions, and drag and drop goes through it too.

#include "app/document/SlideshowDocument.h"

#include <QAbstractListModel>
#include <QList>
#include <QStringList>

#include <functional>
#include <optional>

class TDocumentHistory;
class TThumbnailLoader;

class TPictureListModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum ERole {
        PathRole = Qt::UserRole + 1, // the picture file
        HoldRole,                    // the slide's own hold in seconds, or an invalid QVariant
        EffectRole,                  // the slide's own effect (0 random, 1..176), or an invalid QVariant
        CaptionRole,                 // the caption text
    };
    // The drag data of rows moved inside one list.
    static constexpr const char* RowsMimeType = "application/x-zemopixaroll-slide-rows";

    TPictureListModel(TSlideshowDocument& document, TThumbnailLoader* thumbnails, QObject* parent = nullptr);
    ~TPictureListModel() override;

    TSlideshowDocument& Document() { return document_; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool removeRows(int row, int count, const QModelIndex& parent = QModelIndex()) override;
    bool moveRows(const QModelIndex& sourceParent, int sourceRow, int count, const QModelIndex& destinationParent,
                  int destinationChild) override;

    Qt::DropActions supportedDropActions() const override;
    Qt::DropActions supportedDragActions() const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                         const QModelIndex& parent) const override;
    // True for drag data of rows of this very list.
    bool OwnsRows(const QMimeData* data) const;
    // Rows of this list move to before row (the end for -1); files and folders from elsewhere
    // are added there.
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;

    // Adds the pictures among paths before row (-1: at the end), a folder as the pictures inside
    // it and its subfolders in name order. Returns how many slides were added; what is no
    // picture is skipped and reported through OnSkipped.
    int AddFiles(const QStringList& paths, int row = -1);
    // Removes the rows (any order, duplicates allowed).
    void RemoveRows(QList<int> rows);
    // Moves the rows (a selection, not necessarily contiguous) to before destination, keeping
    // their order. Returns the rows they stand at afterwards.
    QList<int> MoveRowsTo(QList<int> rows, int destination);
    // Moves the rows one place up (delta -1) or down (+1) as a block; a block at the edge stays.
    // Returns their new rows.
    QList<int> MoveRowsBy(QList<int> rows, int delta);

    // Sorts every slide by its file name (numbers in names compare as numbers), or by the date
    // the photo was taken (pictures without one come after those with one, by file name).
    void SortByName();
    void SortByDate();

    // Bulk edits of the rows given; one change per slide.
    void SetHold(const QList<int>& rows, std::optional<double> seconds);
    void SetEffect(const QList<int>& rows, std::optional<int> effect);
    void SetCaption(const QList<int>& rows, const QString& caption);
    void SetCaptionDateTaken(const QList<int>& rows, bool on);
    // Any other change of the slides' values (caption styles, title backgrounds), slide by slide.
    void EditSlides(const QList<int>& rows, const std::function<void(TSlide&)>& edit);

    // The date a picture was taken as sortable text ("YYYY:MM:DD HH:MM:SS"), empty when unknown.
    std::function<QString(const QString& path)> DateTakenOf;
    // The undo history each edit above is one command of (none: edits are not recorded).
    TDocumentHistory* History = nullptr;
    // A dropped or added file that is not a picture.
    std::function<void(const QString& path)> OnSkipped;
    // A name that stands for no regular file (a named pipe, a socket, a device) is refused with
    // the reason, which names it and what it is.
    std::function<void(const QString& path, const QString& why)> OnRefused;

private:
    void OnBefore(const TDocumentChange& change);
    void OnAfter(const TDocumentChange& change);
    void ThumbnailReady(const QString& path);
    void RequestThumbnails(int first, int count);
    QStringList PicturesOf(const QStringList& paths);
    void Reorder(const std::vector<int>& order);

    TSlideshowDocument& document_;
    TThumbnailLoader* thumbnails_;
    int subscription_ = 0;
    bool moveRejected_ = false;
};
