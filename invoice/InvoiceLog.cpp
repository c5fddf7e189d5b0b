#include "invoice/InvoiceLog.h"

namespace qm {

Q_LOGGING_CATEGORY(lcInvoice, "quillmere.invoice", QtInfoMsg)

} // namespace qm
