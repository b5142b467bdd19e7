# The two commands a new user needs:
#   make run    install what is missing, build Release, start the suite
#   make test   install what is missing, build with ASan+UBSan, run every test
# Helpers: make bench, make fuzz, make tsan, make format, make clean
#   make install [PREFIX=/usr/local]     build Release and install the suite under PREFIX
#   make uninstall [PREFIX=/usr/local]   remove exactly what the last install put there
#   make dist [DIST=build/dist]          a folder from which `DIST/bin/setup --unattended`
#                                        installs the suite under ~/.local, without root

JOBS       ?= 2
GENERATOR  ?= Ninja
BUILD      ?= build
FUZZ_SECONDS ?= 60
PREFIX     ?= /usr/local
DIST       ?= $(BUILD)/dist

.PHONY: run test bench fuzz tsan format clean deps release install uninstall dist

deps:
	@scripts/install-deps

release: deps
	cmake -S . -B $(BUILD)/release -G $(GENERATOR) -DCMAKE_BUILD_TYPE=Release -DSUITE_TESTS=OFF
	cmake --build $(BUILD)/release -j $(JOBS)

# DESTDIR (from the command line or the environment) stages the install for a package; the
# desktop caches are then left to the package manager.
install: release
	cmake --install $(BUILD)/release --prefix $(abspath $(PREFIX))

uninstall:
	cmake -DBUILD_DIR=$(abspath $(BUILD)/release) -DEXPECTED_PREFIX=$(abspath $(PREFIX)) \
	  -P desktop/uninstall.cmake

dist: release
	rm -rf $(DIST)
	scripts/make-dist $(BUILD)/release $(DIST)

run: release
	scripts/run-suite $(BUILD)/release

test: deps
	cmake -S . -B $(BUILD)/test -G $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug \
	  "-DCMAKE_CXX_FLAGS_DEBUG=-O1 -g" -DSUITE_SANITIZE=ON -DSUITE_WERROR=ON
	cmake --build $(BUILD)/test -j $(JOBS)
	cd $(BUILD)/test && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest -j $(JOBS) --output-on-failure --timeout 900

bench: deps
	cmake -S . -B $(BUILD)/bench -G $(GENERATOR) -DCMAKE_BUILD_TYPE=Release -DSUITE_BENCH=ON -DSUITE_TESTS=OFF
	cmake --build $(BUILD)/bench -j $(JOBS)
	scripts/bench $(BUILD)/bench

fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(BUILD)/fuzz -G $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DSUITE_FUZZ=ON -DSUITE_TESTS=OFF -DSUITE_SANITIZE=ON
	cmake --build $(BUILD)/fuzz -j $(JOBS)
	scripts/fuzz $(BUILD)/fuzz $(FUZZ_SECONDS)

tsan: deps
	cmake -S . -B $(BUILD)/tsan -G $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug "-DCMAKE_CXX_FLAGS_DEBUG=-O1 -g" -DSUITE_TSAN=ON
	cmake --build $(BUILD)/tsan -j $(JOBS)
	cd $(BUILD)/tsan && TSAN_OPTIONS=halt_on_error=1 ctest -j $(JOBS) -L threads --output-on-failure

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD)
