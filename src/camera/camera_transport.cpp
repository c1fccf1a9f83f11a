#include "camera/camera_transport.h"

#include <cerrno>

CameraDiscovery NullCameraTransport::discover()
{
    return {};
}

TransferResult NullCameraTransport::write_report(const unsigned char*, std::size_t)
{
    return { 0, ENODEV, true };
}

TransferResult NullCameraTransport::read_report(unsigned char*, std::size_t)
{
    return { 0, ENODEV, true };
}

TransferResult NullCameraTransport::read_block(unsigned char*, std::size_t)
{
    return { 0, ENODEV, true };
}

namespace {
NullCameraTransport null_transport;
} // namespace

Installed<CameraTransport> installed_camera_transport(null_transport);
