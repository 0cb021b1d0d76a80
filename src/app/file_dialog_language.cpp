#include "app/file_dialog_language.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QLocale>
#include <QTreeView>

namespace velmora {

namespace {

// The file model's columns of kinds and of modification dates.
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
    // Room for a whole date in the detail view.
    if (auto* const details = dialog.findChild<QTreeView*>(QStringLiteral("treeView")))
        details->header()->setSectionResizeMode(kDateColumn, QHeaderView::ResizeToContents);
}

}  // namespace velmora
