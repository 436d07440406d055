#!/bin/sh
# Installs every Debian 12 package Quillet needs to build, run and test.
set -eu
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends \
  cmake ninja-build g++ lld pkg-config ca-certificates \
  libavcodec-dev libavformat-dev libavfilter-dev libavdevice-dev \
  libswscale-dev libswresample-dev libavutil-dev ffmpeg \
  qt6-base-dev qt6-base-dev-tools libgl-dev qt6-qpa-plugins \
  libsdl2-dev libburn-dev libisofs-dev \
  libgtest-dev googletest time \
  xvfb xauth x11-utils openbox dbus dbus-x11 fonts-dejavu-core valgrind electric-fence mesa-vulkan-drivers \
  strace librsvg2-bin desktop-file-utils appstream dpkg-dev file lintian \
  openssh-server openssh-client parallel rsync
