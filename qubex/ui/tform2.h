#pragma once
#include "number_dialog.h"
