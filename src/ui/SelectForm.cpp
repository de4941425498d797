#include "ui/SelectForm.hpp"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/ArchiveTreeWidget.hpp"
#include "ui/QtText.hpp"

namespace velmar::ui {

using archive::TDBLevel;

namespace {

constexpr int kTextOk = 90;
constexpr int kTextCancel = 91;

}  // namespace

TSelectForm::TSelectForm(TDBLevel& root, IconStore& icons, const SelectRequest& request, QWidget* parent)
    : QDialog(parent), request_(request) {
    setObjectName(QStringLiteral("SelectForm"));
    setWindowTitle(Text(text::kSelectNodeCaption));
    auto* layout = new QVBoxLayout(this);

    ArchiveTreeOptions options;
    options.maxLevel = request.levelNumber;
    options.kindFilter = request.kindFilter;
    options.programMask = request.programMask;
    options.expansionInNodes = false;
    const bool newestFirst = request.newestFirst;
    options.newestFirst = [newestFirst] { return newestFirst; };
    TDBLevel& start = request.start != nullptr ? *request.start : root;
    tree_ = new ArchiveTreeWidget(start, icons, std::move(options), this);
    tree_->setObjectName(QStringLiteral("OutlineSelect"));
    layout->addWidget(tree_, 1);

    auto* buttons = new QDialogButtonBox(this);
    ok_ = buttons->addButton(Text(kTextOk), QDialogButtonBox::AcceptRole);
    buttons->addButton(Text(kTextCancel), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    connect(tree_, &ArchiveTreeWidget::SelectedNodeChanged, this,
            [this](TDBLevel* node) { OnSelection(node); });
    connect(tree_, &QTreeWidget::itemActivated, this, [this] {
        if (Chosen() != nullptr) {
            accept();
        }
    });

    // Open the way down to the current node so that it can be selected.
    if (request.current != nullptr) {
        std::vector<TDBLevel*> chain;
        for (TDBLevel* at = request.current->Parent(); at != nullptr && at != &start; at = at->Parent()) {
            chain.push_back(at);
        }
        tree_->Rebuild();
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
            tree_->ExpandNode(**it);
        }
        tree_->SelectNodeLater(request.current);
    } else {
        tree_->Rebuild();
    }
    OnSelection(tree_->SelectedNode());
    resize(460, 560);
}

TDBLevel* TSelectForm::Chosen() const {
    TDBLevel* node = tree_->SelectedNode();
    return node != nullptr && node->GetLevelNumber() == request_.levelNumber ? node : nullptr;
}

void TSelectForm::OnSelection(TDBLevel*) {
    ok_->setEnabled(Chosen() != nullptr);
}

TDBLevel* TSelectForm::SelectNode(TDBLevel& root, IconStore& icons, const SelectRequest& request,
                                  QWidget* parent) {
    TSelectForm form(root, icons, request, parent);
    if (form.exec() != QDialog::Accepted) {
        return nullptr;
    }
    return form.Chosen();
}

}  // namespace velmar::ui
