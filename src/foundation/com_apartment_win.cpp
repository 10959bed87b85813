#include "foundation/com_apartment.h"

#include <objbase.h>

namespace tvx {

ComApartment::ComApartment() { initialised_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)); }

ComApartment::~ComApartment() {
  if (initialised_) CoUninitialize();
}

}  // namespace tvx
