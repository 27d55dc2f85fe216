# make run    build into a local virtual environment and print a short demo
# make test   build, then run every host test (pytest) and native test (ctest)
# make bench  native and host timings against their baselines, as one table (BENCH_BUILD=1:
#             also clean and one-family builds)
# make fuzz   a million random calls across every host entry point, with outcome counts
# make sanitize  native tests and host suite on an AddressSanitizer + UBSan build
# make lint   ruff and clang-format (installs the dev extra's tools itself)
# make dist-check  python -m build's sdist, a wheel from it, installed and run in a new venv
# make gallery-screenshot  redraw docs/gallery.png, the README's picture of the gallery page
# make console-screenshot  redraw docs/console.png, the README's picture of the console page
PYTHON ?= python3.11
VENV ?= .venv
BUILD ?= build
JOBS ?= 2
PY := $(VENV)/bin/python
NATIVE := $(BUILD)/native
STAMP := $(VENV)/.motiloom-installed
ROOTS := $(VENV)/.motiloom-roots
# Both builds (pip's and the native tree) share one cache of baked table families, and pip keeps
# its build tree, so an edit re-bakes and recompiles only what it touched. A user's own
# `pip install .` from a clean clone sets neither and stays a clean, isolated build.
TABLEGEN_CACHE := $(abspath $(BUILD))/tablegen-cache
WHEEL_BUILD := $(BUILD)/wheel
SOURCES := $(shell find src -name '*.py' -o -name '*.cpp' -o -name '*.hpp') CMakeLists.txt pyproject.toml \
  $(shell find motiloom_kit motiloom-stubs -type f -not -name '*.pyc')

.PHONY: run test bench lint format clean install native native-deps browser-deps live-deps \
  typecheck gallery-screenshot console-screenshot fuzz sanitize dev-deps dist-check

run: $(STAMP)
	$(PY) examples/quickstart.py

test: $(STAMP) native browser-deps live-deps
	$(PY) -P -m pytest -q
	$(MAKE) --no-print-directory typecheck
	$(VENV)/bin/ctest --test-dir $(NATIVE) --output-on-failure -j$(JOBS)

# The examples and motiloom_kit under mypy --strict, motiloom typed by the installed
# motiloom-stubs; then the stubs against the built module (the allowlist says why each entry).
typecheck: $(STAMP)
	$(PY) -m mypy --strict examples motiloom_kit
	$(PY) -m mypy.stubtest motiloom --allowlist tests/kit/stubtest-allowlist.txt

# BENCH_BUILD=1 adds the build rows: a clean wheel build as a user's pip makes it, and on a copy of the
# tree a clean `make install` against a rebuild after a one-family edit, in the same run.
bench: $(STAMP) native $(ROOTS)
	$(PY) benchmarks/run.py --native $(NATIVE) --python $(PY) $(if $(BENCH_BUILD),--build --jobs $(JOBS))

# Random calls with arguments of every kind, each checked against the rules of its entry point.
FUZZ_CALLS ?= 1000000
FUZZ_SEED ?= 1
fuzz: $(STAMP) $(ROOTS)
	$(PY) tools/fuzz.py --calls $(FUZZ_CALLS) --seed $(FUZZ_SEED)

# The native tests and the whole host suite against a build with AddressSanitizer and UBSan, which
# stop at the first error. The interpreter itself is not instrumented: the ASan runtime is preloaded
# into it, Python allocates through malloc so that ASan sees its objects too, and leak detection is
# off for it (the interpreter keeps memory until exit by design); the native tests keep it on.
# pytest captures only Python's own output, so a sanitizer report reaches the terminal.
SANITIZE := $(BUILD)/sanitize
SANITIZE_FLAGS := -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer
# libstdc++ is preloaded too, so that ASan finds the C++ runtime's __cxa_throw when it starts.
ASAN_RUNTIME = "$$($(CXX) -print-file-name=libasan.so) $$($(CXX) -print-file-name=libstdc++.so)"
UBSAN_ENV := UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
# The host suite imports the instrumented module and the kit, with its instrumented _tables, from
# an install of the sanitizer build beside a copy of motiloom_kit; -P keeps this tree's
# motiloom_kit, which has no _tables, off the path.
SANITIZE_SITE := $(SANITIZE)/site
# The browser tests start Chromium, and the live tests olad, jackd and their kin: none of them
# can run with the ASan runtime preloaded, which every child of the host suite inherits.
SANITIZE_PYTEST_SKIP := --ignore=tests/kit/test_gallery_browser.py \
  --ignore=tests/console/test_console_browser.py --ignore=tests/live
sanitize: $(STAMP) native-deps
	$(VENV)/bin/cmake -S . -B $(SANITIZE) -G Ninja -DCMAKE_MAKE_PROGRAM=$(abspath $(VENV)/bin/ninja) \
	  -DPython_EXECUTABLE=$(abspath $(PY)) -Dpybind11_DIR=$$($(PY) -m pybind11 --cmakedir) \
	  -DMOTILOOM_TABLEGEN_CACHE=$(TABLEGEN_CACHE) -DMOTILOOM_WERROR=ON -DCMAKE_BUILD_TYPE=Debug \
	  -DCMAKE_CXX_FLAGS="-O1 $(SANITIZE_FLAGS)" -DMOTILOOM_PYTHON=ON -DMOTILOOM_NATIVE_TESTS=ON >/dev/null
	$(VENV)/bin/cmake --build $(SANITIZE) -j$(JOBS)
	ASAN_OPTIONS=halt_on_error=1:detect_leaks=1 $(UBSAN_ENV) \
	  $(VENV)/bin/ctest --test-dir $(SANITIZE) --output-on-failure -j$(JOBS)
	rm -rf $(SANITIZE_SITE)
	$(VENV)/bin/cmake --install $(SANITIZE) --prefix $(SANITIZE_SITE) >/dev/null
	cp -R motiloom_kit/. $(SANITIZE_SITE)/motiloom_kit/
	export LD_PRELOAD=$(ASAN_RUNTIME) PYTHONMALLOC=malloc PYTHONPATH=$(abspath $(SANITIZE_SITE)) \
	  ASAN_OPTIONS=halt_on_error=1:detect_leaks=0:allocator_may_return_null=1 $(UBSAN_ENV) && \
	  $(PY) -P -c "import motiloom, motiloom_kit._tables as t, sys; \
	    sys.exit(not all('$(SANITIZE_SITE)' in m.__file__ for m in (motiloom, t)))" && \
	  $(PY) -P -m pytest -q -p no:cacheprovider --capture=sys $(SANITIZE_PYTEST_SKIP) && \
	  echo "sanitize: native tests and host suite passed under ASan and UBSan"

install: $(STAMP) $(ROOTS)

# The import roots pyproject.toml declares for pytest (`pythonpath`), written into the venv as a
# .pth file, so that the tools and benchmarks run as scripts find the generator, the test helpers
# and each other without setting a path by hand.
$(ROOTS): pyproject.toml | $(PY)
	$(PY) -c "import pathlib, sysconfig, tomllib; \
	  roots = tomllib.loads(pathlib.Path('pyproject.toml').read_text())['tool']['pytest']['ini_options']['pythonpath']; \
	  pth = pathlib.Path(sysconfig.get_path('purelib'), 'motiloom-dev-roots.pth'); \
	  pth.write_text(''.join(str(pathlib.Path(root).resolve()) + chr(10) for root in roots))"
	touch $@

$(PY):
	$(PYTHON) -m venv $(VENV)
	$(PY) -m pip install --quiet --upgrade pip

# A real install: pip builds the wheel with scikit-build-core, from the build requirements that
# pyproject.toml declares, installed into the virtual environment first. The build is not
# isolated: an isolated build runs scikit-build-core from a new temporary environment every time,
# and scikit-build-core then takes the build directory for stale and deletes its CMakeFiles/,
# where every object lives, so every object would be compiled again.
BUILD_REQUIRES = $$($(PY) -c "import tomllib; print(*tomllib.load(open('pyproject.toml', 'rb'))['build-system']['requires'])")
$(STAMP): $(PY) $(SOURCES)
	@echo "Building motiloom and installing it into $(VENV) with pip: a clean build bakes and"
	@echo "compiles every table and takes a few minutes; an edit rebuilds only what it touched."
	$(PY) -m pip install --quiet $(BUILD_REQUIRES)
	CMAKE_BUILD_PARALLEL_LEVEL=$(JOBS) $(PY) -m pip install --progress-bar off --no-build-isolation \
	  ".[test,native,plot,live,link,console]" -C build-dir=$(WHEEL_BUILD) \
	  -C cmake.define.MOTILOOM_TABLEGEN_CACHE=$(TABLEGEN_CACHE) -C cmake.define.MOTILOOM_WERROR=ON
	touch $@

# GoogleTest comes from Debian; install it when it is missing.
native-deps:
	@dpkg -s libgtest-dev >/dev/null 2>&1 || { \
	  echo "Installing libgtest-dev"; \
	  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq libgtest-dev; }

# The gallery's browser test drives Debian's chromium headless; install it when it is missing.
# Chromium is optional: when it cannot be installed the test is skipped and says why.
browser-deps:
	@dpkg -s chromium >/dev/null 2>&1 || { \
	  echo "Installing chromium (headless, for the gallery's browser test)"; \
	  { apt-get -o DPkg::Lock::Timeout=600 update -qq && DEBIAN_FRONTEND=noninteractive \
	    apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends chromium; } \
	  || echo "chromium could not be installed: the gallery's browser test will be skipped"; }

# The live show's tests start real receivers from Debian: olad (ola), oscdump (liblo-tools), jackd
# with jack_midi_clock (jackd2, jack-midi-clock), in network namespaces made with ip (iproute2),
# olad run as its own user through setpriv (util-linux), IPv6 turned off there with sysctl
# (procps). Install whichever is missing; when that fails the tests that need it are skipped.
LIVE_DEBS := ola liblo-tools jackd2 jack-midi-clock iproute2 util-linux procps
live-deps:
	@missing=$$(for p in $(LIVE_DEBS); do dpkg -s $$p >/dev/null 2>&1 || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing" $$missing "(for the live show's tests)"; \
	  { apt-get -o DPkg::Lock::Timeout=600 update -qq && DEBIAN_FRONTEND=noninteractive \
	    apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends $$missing; } \
	  || echo "could not install" $$missing": the live tests that need them will be skipped"; \
	fi

# The README's pictures: the gallery page of the built catalogue, and its detail view of one
# pattern, drawn by headless chromium.
SHOOT := chromium --headless --no-sandbox --disable-gpu --hide-scrollbars --window-size=1280,800 \
  --virtual-time-budget=4000
gallery-screenshot: $(STAMP) browser-deps
	$(PY) -m motiloom_kit gallery -o $(BUILD)/gallery
	$(SHOOT) --screenshot=$(abspath docs/gallery.png) file://$(abspath $(BUILD)/gallery/index.html)
	$(SHOOT) --screenshot=$(abspath docs/gallery-detail.png) \
	  "file://$(abspath $(BUILD)/gallery/index.html)#groove_a_grid"

# The README's picture of the console: a 120-head rig playing, its page drawn by headless chromium.
console-screenshot: $(STAMP) browser-deps $(ROOTS)
	$(PY) tools/console_screenshot.py --out docs/console.png

# The same sources built outside pip for the native tests, the benchmark and the host baseline.
native: $(STAMP) native-deps
	$(VENV)/bin/cmake -S . -B $(NATIVE) -G Ninja -DCMAKE_MAKE_PROGRAM=$(abspath $(VENV)/bin/ninja) \
	  -DPython_EXECUTABLE=$(abspath $(PY)) -Dpybind11_DIR=$$($(PY) -m pybind11 --cmakedir) \
	  -DMOTILOOM_TABLEGEN_CACHE=$(TABLEGEN_CACHE) -DMOTILOOM_WERROR=ON \
	  -DMOTILOOM_PYTHON=OFF -DMOTILOOM_NATIVE_TESTS=ON -DMOTILOOM_BENCHMARKS=ON -DMOTILOOM_EXAMPLES=ON >/dev/null
	$(VENV)/bin/cmake --build $(NATIVE) -j$(JOBS)

# The dev extra's tools, installed without building the package (pip install ".[dev]" would).
DEV_REQUIRES = $$($(PY) -c "import tomllib; print(*tomllib.load(open('pyproject.toml', 'rb'))['project']['optional-dependencies']['dev'])")
dev-deps: $(PY)
	$(PY) -m pip install --quiet $(DEV_REQUIRES)

lint: dev-deps
	$(VENV)/bin/ruff check src tests tools benchmarks examples motiloom_kit motiloom-stubs
	$(VENV)/bin/ruff format --check src tests tools benchmarks examples motiloom_kit motiloom-stubs
	$(VENV)/bin/clang-format --dry-run --Werror $$(find src tests benchmarks examples -name '*.cpp' -o -name '*.hpp')

format: dev-deps
	$(VENV)/bin/ruff format src tests tools benchmarks examples motiloom_kit motiloom-stubs
	$(VENV)/bin/clang-format -i $$(find src tests benchmarks examples -name '*.cpp' -o -name '*.hpp')

# The way a user gets the package without this tree: python -m build makes the sdist and from it
# the wheel, each in a fresh isolated environment; tools/dist_check.py then looks through the
# sdist and installs the wheel into a new virtual environment, where it must import and run.
DIST := $(BUILD)/dist
dist-check: dev-deps
	rm -rf $(DIST)
	CMAKE_BUILD_PARALLEL_LEVEL=$(JOBS) $(PY) -m build --outdir $(DIST)/out .
	$(PY) tools/dist_check.py --dist $(DIST)

clean:
	rm -rf $(BUILD) $(VENV) _skbuild dist *.egg-info
