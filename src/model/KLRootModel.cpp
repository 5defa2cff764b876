#include "model/KLRootModel.h"

KLRootModel::KLRootModel(const QString &rootName, const QVariantList &childrem)
    : rootName(rootName), children(childrem)
{
}
