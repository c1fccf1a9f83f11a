# The two commands of the README: `make run` and `make test`. Both set up a
# fresh Debian 12 machine first (apt-get, as root or through sudo).

SHELL := /bin/bash

BUILD      ?= build
FUZZ_BUILD ?= build-fuzz
ASAN_BUILD ?= build-asan
FUZZ_SECONDS ?= 60
JOBS       ?= $(shell nproc)
PREFIX     ?= /usr/local

PACKAGES = build-essential cmake ninja-build pkg-config clang ccache \
  qt6-base-dev qt6-serialport-dev libgl-dev \
  libgtest-dev libgmock-dev libbenchmark-dev \
  libusb-1.0-0-dev libhidapi-dev umockdev libumockdev-dev libcfitsio-dev libtiff-dev libopencv-dev \
  fitsverify xvfb xauth desktop-file-utils \
  libindi-dev indi-bin libnova-dev

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)
# Installing into a prefix the user cannot write (the default) needs root.
SUDO_INSTALL := $(shell [ "$$(id -u)" = 0 ] || [ -w "$(DESTDIR)$(PREFIX)" ] || echo sudo)

.PHONY: setup configure build run test bench fuzz asan clean install uninstall

setup:
	@missing=""; for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) apt-get update && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y --no-install-recommends $$missing; \
	fi

configure: setup
	@[ -f $(BUILD)/build.ninja ] || cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: configure
	cmake --build $(BUILD) -j $(JOBS)

# Without a camera on the bus the program runs on the simulated camera and
# telescope.
run: build
	QUILLON_SIMULATOR=1 ./$(BUILD)/quillon

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

bench: build
	./$(BUILD)/bench/quillon_bench

# Each fuzzer (one per loader and per device input) runs for FUZZ_SECONDS
# under AddressSanitizer, parsing from memory; the last lines give each
# harness's executions. FUZZ_MAX_LEN bounds the inputs: past the headers the
# loaders only convert samples, and the harnesses pad to the accepted lengths.
FUZZ_MAX_LEN ?= 16384
fuzz: setup
	@[ -f $(FUZZ_BUILD)/build.ninja ] || CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLON_FUZZ=ON -DQUILLON_UI=OFF -DQUILLON_TESTS=OFF -DQUILLON_BENCH=OFF
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	@set -e -o pipefail; summary=$(FUZZ_BUILD)/fuzz-summary.txt; : > $$summary; \
	for f in $(FUZZ_BUILD)/fuzz/*_fuzz; do \
	  [ -x "$$f" ] || continue; name=$$(basename $$f); mkdir -p $(FUZZ_BUILD)/corpus/$$name; \
	  seeds=""; [ -d fuzz/seeds/$$name ] && seeds=fuzz/seeds/$$name; \
	  log=$(FUZZ_BUILD)/$$name.log; echo "== $$name"; \
	  if ! $$f -max_total_time=$(FUZZ_SECONDS) -max_len=$(FUZZ_MAX_LEN) -print_final_stats=1 \
	      $(FUZZ_BUILD)/corpus/$$name $$seeds > $$log 2>&1; then \
	    tail -n 40 $$log; echo "$$name: FINDING, see $$log"; exit 1; \
	  fi; \
	  tail -n 6 $$log; \
	  runs=$$(sed -n 's/^stat::number_of_executed_units: *//p' $$log); \
	  printf '%-28s %10s executions in %s s (%s a second)\n' $$name "$$runs" $(FUZZ_SECONDS) \
	    $$(( $${runs:-0} / $(FUZZ_SECONDS) )) >> $$summary; \
	done; \
	echo "== executions per harness"; cat $$summary

# The whole suite once under AddressSanitizer, UndefinedBehaviorSanitizer and
# LeakSanitizer.
asan: setup
	@[ -f $(ASAN_BUILD)/build.ninja ] || cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug \
	  -DQUILLON_SANITIZE=ON -DQUILLON_BENCH=OFF
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 ctest --output-on-failure -j $(JOBS)

# The program, its help, the desktop entry and icon, the camera's udev rule.
# The list of what was installed is kept for uninstall (a later
# `cmake --install` elsewhere, such as the install test, does not change it).
install: build
	$(SUDO_INSTALL) cmake --install $(BUILD) --prefix $(PREFIX)
	cp $(BUILD)/install_manifest.txt $(BUILD)/installed_files.txt
	@if [ -z "$(DESTDIR)" ] && command -v udevadm >/dev/null; then \
	  $(SUDO_INSTALL) udevadm control --reload-rules 2>/dev/null || true; fi

uninstall:
	@[ -f $(BUILD)/installed_files.txt ] || { echo "Nothing installed from $(BUILD)"; exit 1; }
	@while IFS= read -r f || [ -n "$$f" ]; do echo "Removing $$f"; $(SUDO_INSTALL) rm -f "$$f"; done < $(BUILD)/installed_files.txt
	rm -f $(BUILD)/installed_files.txt

clean:
	rm -rf $(BUILD) $(FUZZ_BUILD) $(ASAN_BUILD)
