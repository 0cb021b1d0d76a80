#include "app/file_dialog_dates.h"

#include <QFileDialog>
#include <QFileSystemModel>
#include <QIdentityProxyModel>
#include <QLocale>

namespace velmora {

namespace {

// The file model's column of modification dates.
constexpr int kDateColumn = 3;

class LocaleDateProxy final : public QIdentityProxyModel {
  public:
    using QIdentityProxyModel::QIdentityProxyModel;

    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override {
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (role == Qt::DisplayRole && index.column() == kDateColumn && files != nullptr) {
            const QDateTime modified = files->lastModified(mapToSource(index));
            if (modified.isValid()) return QLocale().toString(modified, QLocale::ShortFormat);
        }
        return QIdentityProxyModel::data(index, role);
    }
};

}  // namespace

void UseProgramLocaleDates(QFileDialog& dialog) {
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    // The dialog keeps the proxy; it goes with the dialog.
    dialog.setProxyModel(new LocaleDateProxy(&dialog));
}

}  // namespace velmora
