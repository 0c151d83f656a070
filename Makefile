# Front door of the project. `make test` and `make demo` need nothing but a
# Debian 12 machine with root: missing packages are installed on the way.
#
#   make          build everything (native packer at build/host/kwz, the
#                 Windows trees build/win32 and build/win64)
#   make test     build every tree and run every suite: native under
#                 ASan/UBSan, Windows under Wine for each architecture this
#                 host runs (KWO_WINE_ARCHS=x86_64 limits it to the ones named)
#   make bench    codec benchmark table
#   make demo     run the demo setup program under Wine
#   make setup PAYLOAD=dir   build a setup program for any folder
#   make fuzz     run each fuzz target for FUZZ_SECONDS (default 60)
#   make dist     release folder and reproducible tarball
#   make install PREFIX=dir   kwz, both stubs and the CMake package into dir

BUILD ?= build
B := $(abspath $(BUILD))
JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 60

export WINEDEBUG := -all
export WINEDLLOVERRIDES := mscoree,mshtml=

CMAKE := cmake
configure = test -f $(1)/build.ninja || $(CMAKE) -S . -B $(1) -G Ninja $(2)

.PHONY: all deps host asan win32 win64 test bench clean

all: host win32 win64

deps:
	@scripts/install-deps.sh

host: deps
	@$(call configure,$(B)/host,-DCMAKE_BUILD_TYPE=Release -DKWO_BENCH=ON)
	@$(CMAKE) --build $(B)/host -j $(JOBS)

asan: deps
	@$(call configure,$(B)/asan,-DCMAKE_BUILD_TYPE=RelWithDebInfo -DKWO_TESTS=ON -DKWO_SANITIZE=ON)
	@$(CMAKE) --build $(B)/asan -j $(JOBS)

# One Windows tree per architecture, from one toolchain description.
windows = $(call configure,$(B)/$(1),-DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-$(2).cmake \
	  -DCMAKE_BUILD_TYPE=Release -DKWO_TESTS=ON -DKWO_HOST_KWZ=$(B)/host/kwz) && \
	$(CMAKE) --build $(B)/$(1) -j $(JOBS)

win32: deps host
	@$(call windows,win32,i686)

win64: deps host
	@$(call windows,win64,x86_64)

test: host asan win32 win64
	@scripts/run-tests.sh $(B)

bench: host
	@$(B)/host/bench/kwo_bench

clean:
	rm -rf $(B)

# Targets whose scripts grow with the launcher, the fuzzers and the release.
.PHONY: demo setup fuzz dist install
demo: all
	@scripts/demo.sh $(B)

setup: all
	@scripts/setup.sh $(B) "$(PAYLOAD)"

fuzz: deps
	@scripts/fuzz.sh $(B) $(FUZZ_SECONDS)

dist: all
	@scripts/dist.sh $(B)

install: all
	@test -n "$(PREFIX)" || { echo "usage: make install PREFIX=dir" >&2; exit 2; }
	@$(CMAKE) --install $(B)/host --prefix "$(PREFIX)" --strip
