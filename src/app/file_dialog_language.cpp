#include "app/file_dialog_language.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QLocale>
#include <QTreeView>
#include <algorithm>

namespace velmora {

namespace {

// The file model's columns of sizes, kinds and modification dates.
constexpr int kSizeColumn = 1;
constexpr int kKindColumn = 2;
constexpr int kDateColumn = 3;

class ProgramLanguageProxy final : public QIdentityProxyModel {
  public:
    using QIdentityProxyModel::QIdentityProxyModel;

    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override {
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (role == Qt::DisplayRole && files != nullptr) {
            const QModelIndex source = mapToSource(index);
            if (index.column() == kDateColumn) {
                const QDateTime modified = files->lastModified(source);
                if (modified.isValid()) return QLocale().toString(modified, QLocale::ShortFormat);
            }
            if (index.column() == kKindColumn && files->isDir(source))
                return QCoreApplication::translate("QFileDialog", "Folder");
        }
        return QIdentityProxyModel::data(index, role);
    }
};

}  // namespace

void UseProgramLanguage(QFileDialog& dialog) {
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    // The dialog keeps the proxy; it goes with the dialog.
    dialog.setProxyModel(new ProgramLanguageProxy(&dialog));
    // Room for whole sizes and dates in the detail view.
    constexpr int kDialogWidth = 720;
    dialog.resize(std::max(dialog.width(), kDialogWidth), dialog.height());
    if (auto* const details = dialog.findChild<QTreeView*>(QStringLiteral("treeView"))) {
        details->header()->setSectionResizeMode(kSizeColumn, QHeaderView::ResizeToContents);
        details->header()->setSectionResizeMode(kDateColumn, QHeaderView::ResizeToContents);
    }
}

}  // namespace velmora
