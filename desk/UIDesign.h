#pragma once

// The desk widget model: painted containers and the widgets that paint themselves into them.
#include "desk/AssertionFailed.h"
#include "desk/ColorText.h"
#include "desk/ConvertError.h"
#include "desk/DeskFont.h"
#include "desk/DeskPosition.h"
#include "desk/ObjIcon.h"
#include "desk/ObjText.h"
#include "desk/UIAction.h"
#include "desk/UIContainer.h"
#include "desk/UIText.h"
#include "desk/UIWizard.h"
#include "desk/UIcon.h"
#include "desk/UIconText.h"
