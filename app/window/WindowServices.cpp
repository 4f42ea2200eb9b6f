#include "app/window/WindowServices.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>

bool TWindowServices::Question(QWidget* parent, const QString& caption, const QString& text) {
    return QMessageBox::question(parent, caption, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) ==
           QMessageBox::Yes;
}

void TWindowServices::Warning(QWidget* parent, const QString& caption, const QString& text) {
    QMessageBox::warning(parent, caption, text, QMessageBox::Ok);
}

void TWindowServices::Exclamation(QWidget* parent, const QString& caption, const QString& text) {
    QMessageBox::warning(parent, caption, text, QMessageBox::Ok);
}

void TWindowServices::Information(QWidget* parent, const QString& caption, const QString& text) {
    QMessageBox::information(parent, caption, text, QMessageBox::Ok);
}

QStringList TWindowServices::OpenFiles(QWidget* parent, const QString& filter) {
    return QFileDialog::getOpenFileNames(parent, QString(), QString(), filter);
}

QString TWindowServices::OpenFile(QWidget* parent, const QString& filter) {
    return QFileDialog::getOpenFileName(parent, QString(), QString(), filter);
}

TWindowServices::ESaveAnswer TWindowServices::SaveChanges(QWidget* parent, const QString& caption,
                                                         const QString& text) {
    switch (QMessageBox::question(parent, caption, text, QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel,
                                  QMessageBox::Save)) {
    case QMessageBox::Save:
        return ESaveAnswer::Save;
    case QMessageBox::Discard:
        return ESaveAnswer::Discard;
    default:
        return ESaveAnswer::Cancel;
    }
}

QString TWindowServices::OpenProjectFile(QWidget* parent, const QString& filter) {
    return QFileDialog::getOpenFileName(parent, QString(), QString(), filter);
}

QString TWindowServices::SaveProjectFile(QWidget* parent, const QString& filter, const QString& suggested) {
    return QFileDialog::getSaveFileName(parent, QString(), suggested, filter);
}

QString TWindowServices::ChooseFolder(QWidget* parent, const QString& caption, const QString& start) {
    return QFileDialog::getExistingDirectory(parent, caption, start);
}

bool TWindowServices::OpenUrl(const QString& address) {
    QUrl url(address);
    // A plain path is a folder to show in the file manager.
    if (url.scheme().isEmpty() || QDir::isAbsolutePath(address))
        url = QUrl::fromLocalFile(address);
    return QDesktopServices::openUrl(url);
}
