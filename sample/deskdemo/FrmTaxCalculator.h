#pragma once

#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;

namespace qm {

// The tax calculator: an amount including value-added tax and a rate give the amount without tax
// and the tax, recomputed as the user types. Registered in the handle table (control and form)
// while it lives; it has no close handler, so the desk frees it when its page is closed.
class TfrmTaxCalculator : public QWidget {
public:
    explicit TfrmTaxCalculator(QWidget* parent = nullptr);
    ~TfrmTaxCalculator() override;

private:
    void Recalculate();

    QLineEdit* edtGross = nullptr; // owned by this window, like the controls below
    QComboBox* cbxRate = nullptr;
    QLabel* lblNet = nullptr;
    QLabel* lblTax = nullptr;
};

} // namespace qm
