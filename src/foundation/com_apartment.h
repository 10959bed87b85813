// Per-thread initialisation of the platform's component objects in the multithreaded apartment.
#pragma once

namespace tvx {

// Undoes the initialisation only if it succeeded. Does nothing where there are no component objects.
class ComApartment {
 public:
  ComApartment();
  ~ComApartment();
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

  bool initialised() const { return initialised_; }

 private:
  bool initialised_ = false;
};

}  // namespace tvx
