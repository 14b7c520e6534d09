// The display driver: its surfaces implement the library's surface contract on the platform's 3D device.
// The entry points arrive with the surface contract they implement.
namespace vtr2d3d8 {}
