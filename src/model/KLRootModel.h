#pragma once

#include <QString>
#include <QVariantList>

/// A group node of the multi-projector member outline: a title and the items under it. The
/// outline puts whatever item type it draws into `children` (QVariant::fromValue), so the node
/// does not depend on the view's item records.
class KLRootModel {
public:
    QString rootName;       ///< group title
    QVariantList children;
    bool isLeaf = false;

    KLRootModel() = default;
    KLRootModel(const QString &rootName, const QVariantList &childrem);
};
