#include "corvane/Skin.h"

namespace corvane {

TdmSkin& Skin() {
    static TdmSkin skin;
    return skin;
}

} // namespace corvane
