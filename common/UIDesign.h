#pragma once

// The desk widget model: painted containers and the widgets that paint themselves into them.
#include "common/desk/AssertionFailed.h"
#include "common/desk/ColorText.h"
#include "common/desk/ConvertError.h"
#include "common/desk/DeskFont.h"
#include "common/desk/DeskPosition.h"
#include "common/desk/ObjIcon.h"
#include "common/desk/ObjText.h"
#include "common/desk/UIAction.h"
#include "common/desk/UIContainer.h"
#include "common/desk/UIText.h"
#include "common/desk/UIWizard.h"
#include "common/desk/UIcon.h"
#include "common/desk/UIconText.h"
