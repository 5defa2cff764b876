#pragma once

// Pictures of what a widget test drew, for a person to look at: with KELVO_UI_TEST_PICTURES set
// to a folder, savePictureForReview writes "<name>.png" there; otherwise it does nothing.

#include <QDir>
#include <QWidget>

namespace kltest {

inline void savePictureForReview(QWidget *widget, const QString &name)
{
    const QString folder = qEnvironmentVariable("KELVO_UI_TEST_PICTURES");
    if (folder.isEmpty() || !widget)
        return;
    QDir().mkpath(folder);
    widget->grab().save(QDir(folder).filePath(name + QStringLiteral(".png")));
}

} // namespace kltest
