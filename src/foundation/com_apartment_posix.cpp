#include "foundation/com_apartment.h"

namespace tvx {

ComApartment::ComApartment() = default;
ComApartment::~ComApartment() = default;

}  // namespace tvx
