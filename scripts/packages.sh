# The Debian packages of the project, in three sets; sourced by scripts/install-deps.sh.
# Each set adds to the one before: running, then building, then testing.

# What the recorder needs at run time: Qt's libraries and platform plugins, Qt's Chinese
# translations (是(Y)/否(N) on the standard buttons), the PulseAudio client library (it talks
# to PipeWire's pipewire-pulse as well as to PulseAudio), libsndfile and libsamplerate (Save
# As FLAC, Ogg Opus and MP3), the X key-grab libraries, Qt's D-Bus
# library and GIO (the session bus, the shortcuts portal, GNOME's own shortcuts, the MIME
# database that names the help's viewer), Song faces for the 宋体 captions (Noto Serif CJK,
# whose bold Latin reads clearly, and AR PL UMing as the fallback), the MIME database itself,
# and xdg-open for the help file and the About box's links. No sound server: the desktop
# has its own.
WSX_RUN_PACKAGES=(
  libqt6core6 libqt6gui6 libqt6widgets6 libqt6dbus6 qt6-qpa-plugins qt6-translations-l10n
  libpulse0 libxcb1 libxcb-keysyms1 libglib2.0-0 libsndfile1 libsamplerate0
  fonts-noto-cjk fonts-arphic-uming shared-mime-info xdg-utils
)

# What building adds: the compiler and CMake, the development headers, and the help compiler
# (chmcmd, from Free Pascal's utilities).
WSX_BUILD_PACKAGES=(
  cmake g++ make pkg-config ninja-build
  qt6-base-dev qt6-base-dev-tools libgl-dev libpulse-dev libxcb1-dev libxcb-keysyms1-dev
  libsndfile1-dev libsamplerate0-dev
  libglib2.0-dev
  fp-utils
)

# What testing adds: the test frameworks, clang's libFuzzer, a private X server with a tray
# host and two window managers (twm; openbox, whose decorations follow the window's hints),
# tools that press keys and measure sound, a screen reader's view of the window (the
# accessibility bus and pyatspi, for Debian's own python3), and the package and
# desktop-entry checkers (mpg123 and opus-tools decode the MP3 and Opus files the recorder
# saves, apart from libsndfile; sox's MP3 writer and opusenc are the bench's peers). The private sound server is chosen by wsx_test_sound_packages.
# The desktops' real parts the journeys run the recorder against: KDE Plasma's compositor with
# Xwayland and its shortcuts portal (qtwayland5 lets the portal's back end run on Wayland,
# where alone it offers GlobalShortcuts; libwayland-dev and plasma-wayland-protocols build
# the key presser that uses KWin's fake input), GNOME's portal back end (which offers no
# global shortcuts), Xfce's panel as a tray host, dunst as a notification server, and
# dbus-monitor to watch what they are asked. About 48 MB to download.
WSX_TEST_PACKAGES=(
  libgtest-dev libgmock-dev
  clang libclang-rt-14-dev
  pulseaudio-utils sox libsox-fmt-pulse libsox-fmt-mp3 mpg123 opus-tools
  xvfb xdotool trayer twm openbox xfonts-base x11-utils imagemagick dbus python3-dbus python3-gi
  at-spi2-core python3-pyatspi
  desktop-file-utils libglib2.0-bin
  dpkg-dev appstream
  kwin-wayland xwayland xdg-desktop-portal xdg-desktop-portal-kde qtwayland5
  libwayland-dev plasma-wayland-protocols
  xdg-desktop-portal-gnome xfce4-panel xfconf dunst dbus-bin
)

# The private sound server the tests start: PulseAudio where it can be installed without
# touching the desktop's own sound stack, PipeWire (server, session manager and its
# PulseAudio protocol) where PipeWire is the desktop's server. Installing pulseaudio beside
# pipewire-pulse would leave two servers fighting over the user's session, and beside
# pipewire-audio apt would remove the desktop's sound.
# WSX_TEST_SOUND_SERVER=pulseaudio|pipewire chooses by hand.
WSX_PIPEWIRE_TEST_PACKAGES=(pipewire pipewire-pulse wireplumber)
WSX_PULSEAUDIO_TEST_PACKAGES=(pulseaudio)

# What building the Debian package adds to building: dpkg-shlibdeps, which works out the
# package's library dependencies, and file(1), which CPack uses to find the binaries to ask
# it about.
WSX_PACKAGE_PACKAGES=(dpkg-dev file)
