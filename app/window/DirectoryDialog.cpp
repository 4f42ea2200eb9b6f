#include "app/window/DirectoryDialog.h"

#include "app/output/OutputFolder.h"
#include "app/window/WindowServices.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

TfmDirectory::TfmDirectory(TWindowServices& services, const QString& appTitle, QWidget* parent)
    : QDialog(parent), services_(services), appTitle_(appTitle) {
    setWindowTitle("Brows");
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    setModal(true);
    resize(314, 317);
    setMinimumSize(130, 32);
    // The upper limit of the original dialog is too small for long folder names at a large
    // scale factor; the tree scrolls instead.
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);

    IsReadOnly = [](const QString& folder) { return IsReadOnlyFolder(folder.toStdString()); };

    auto* layout = new QVBoxLayout(this);
    lbl1 = new QLabel("Please select an output directory:", this);
    layout->addWidget(lbl1);
    model_ = new QFileSystemModel(this);
    model_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    model_->setRootPath("/");
    stview_selectdir = new QTreeView(this);
    stview_selectdir->setModel(model_);
    for (int column = 1; column < model_->columnCount(); ++column)
        stview_selectdir->hideColumn(column);
    stview_selectdir->header()->hide();
    stview_selectdir->setRootIsDecorated(true);
    layout->addWidget(stview_selectdir, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    btnOk = new QPushButton("Ok", this);
    btnOk->setDefault(true);
    btnCancel = new QPushButton("Cancel", this);
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);
    layout->addLayout(buttons);

    connect(stview_selectdir->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &TfmDirectory::stview_selectdirClick);
    connect(btnOk, &QPushButton::clicked, this, &TfmDirectory::btnOkClick);
    connect(btnCancel, &QPushButton::clicked, this, &TfmDirectory::btnCancelClick);
}

void TfmDirectory::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    resize(322, 351);
    selectedFolder_.clear();
    QString folder = startFolder_;
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::homePath();
    SelectFolder(folder);
}

void TfmDirectory::SelectFolder(const QString& folder) {
    const QModelIndex index = model_->index(QDir::cleanPath(folder));
    stview_selectdir->setCurrentIndex(index);
    if (index.isValid())
        stview_selectdir->scrollTo(index);
    stview_selectdirClick();
}

QString TfmDirectory::CurrentFolder() const {
    const QModelIndex index = stview_selectdir->currentIndex();
    return index.isValid() ? model_->filePath(index) : QString();
}

void TfmDirectory::stview_selectdirClick() {
    const QString folder = CurrentFolder();
    btnOk->setEnabled(!folder.isEmpty() && QFileInfo(folder).isDir());
}

void TfmDirectory::btnOkClick() {
    selectedFolder_ = CurrentFolder();
    if (selectedFolder_.isEmpty() || !QFileInfo(selectedFolder_).isDir()) {
        selectedFolder_.clear();
        return;
    }
    if (IsReadOnly(selectedFolder_)) {
        selectedFolder_.clear();
        services_.Information(this, appTitle_, "Output folder cannot be located in CD-ROM.Please select another folder.");
        return;
    }
    accept();
}

void TfmDirectory::btnCancelClick() {
    selectedFolder_.clear();
    reject();
}
