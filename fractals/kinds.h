#pragma once
// The document kinds this program is built with. The framework knows none of them by name:
// they are listed here, where the program is put together, and registered before anything
// looks a kind up. Both calls may be repeated; a kind registered again replaces itself.
namespace fractals {

// Documents, files and batch pictures (no Qt).
void registerCoreKinds();
// The above plus the windows: views, properties sheets, menus and keys of each kind.
void registerWindowKinds();

} // namespace fractals
