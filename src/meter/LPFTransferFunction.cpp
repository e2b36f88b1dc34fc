#include "meter/LPFTransferFunction.h"

CLPFTransferFunction::~CLPFTransferFunction() = default;
