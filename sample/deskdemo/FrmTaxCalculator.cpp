#include "sample/deskdemo/FrmTaxCalculator.h"

#include "corvane/HandleTable.h"
#include "sample/deskdemo/HostTrace.h"
#include "sample/deskdemo/TaxSplit.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>

namespace qm {

namespace {

constexpr int kRates[] = {13, 9, 6, 3};
const QString kNoAmount = QStringLiteral("—");

} // namespace

TfrmTaxCalculator::TfrmTaxCalculator(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("frmTaxCalculator"));
    setWindowTitle(QStringLiteral("税额计算器"));
    resize(360, 180);

    edtGross = new QLineEdit(this);
    edtGross->setObjectName(QStringLiteral("edtGross"));
    edtGross->setPlaceholderText(QStringLiteral("例如 1130.00"));
    edtGross->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("\\d{0,12}(\\.\\d{0,2})?")), edtGross));
    cbxRate = new QComboBox(this);
    cbxRate->setObjectName(QStringLiteral("cbxRate"));
    for (const int rate : kRates)
        cbxRate->addItem(QStringLiteral("%1%").arg(rate), rate);
    lblNet = new QLabel(kNoAmount, this);
    lblNet->setObjectName(QStringLiteral("lblNet"));
    lblTax = new QLabel(kNoAmount, this);
    lblTax->setObjectName(QStringLiteral("lblTax"));
    for (QLabel* result : {lblNet, lblTax})
        result->setTextInteractionFlags(Qt::TextSelectableByMouse);

    for (QWidget* field : {static_cast<QWidget*>(edtGross), static_cast<QWidget*>(cbxRate)})
        field->setMinimumWidth(200);

    auto* layout = new QFormLayout(this); // owned by this window
    layout->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    layout->addRow(QStringLiteral("含税金额（元）："), edtGross);
    layout->addRow(QStringLiteral("税率："), cbxRate);
    layout->addRow(QStringLiteral("不含税金额（元）："), lblNet);
    layout->addRow(QStringLiteral("税额（元）："), lblTax);
    setFocusProxy(edtGross);

    connect(edtGross, &QLineEdit::textChanged, this, &TfrmTaxCalculator::Recalculate);
    connect(cbxRate, &QComboBox::currentIndexChanged, this, &TfrmTaxCalculator::Recalculate);
    corvane::Handles().Register(static_cast<QWidget*>(this), corvane::kHandleControl | corvane::kHandleForm);
    HostTrace("calculator window created");
}

TfrmTaxCalculator::~TfrmTaxCalculator() {
    corvane::Handles().Unregister(static_cast<QWidget*>(this));
    HostTrace("calculator window closed");
}

void TfrmTaxCalculator::Recalculate() {
    const std::optional<std::int64_t> gross = ParseCents(edtGross->text().toStdString());
    if (!gross) {
        lblNet->setText(kNoAmount);
        lblTax->setText(kNoAmount);
        return;
    }
    const TTaxSplit split = SplitGrossAmount(*gross, cbxRate->currentData().toInt());
    lblNet->setText(QString::fromStdString(FormatCents(split.net)));
    lblTax->setText(QString::fromStdString(FormatCents(split.tax)));
}

} // namespace qm
