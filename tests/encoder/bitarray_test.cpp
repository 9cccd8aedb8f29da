#include "encoder/qrcode.h"
