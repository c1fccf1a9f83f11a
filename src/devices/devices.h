// Real devices: the serial layer on QSerialPort and the USB camera transport
// on libusb. Filled by the camera and telescope work.
#pragma once
