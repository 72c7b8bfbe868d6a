// Every allocation of representative operations is made to fail in turn,
// once with failures only reported and once with reports thrown. Whatever
// fails, the operation succeeds or reports the failure, the library is left
// idle, no kernel body is lost or left behind, the memory account returns
// and the element still works.
#include "reliability/reliability_support.h"

#include <cstdio>
#include <functional>
#include <string>

namespace {

using rel::disarmSeam;
using rel::elementOf;
using rel::libraryIdle;
using rel::partsConsistent;
using rel::partsOf;
using rel::sameBodies;
using rel::sweepAllocations;

struct Outcome {
  unsigned result = 0;
  bool injected = false;
  bool threw = false;
  std::string kernelError;
};

// Runs op with allocation n failing; a thrown MvError counts as a failure.
template <class Op>
Outcome underSeam(long long n, bool throwing, Op op) {
  Outcome o;
  MvErrorState::clear();
  MvErrorState::setThrowOnError(throwing);
  MvHeap::failAt(n);
  try {
    o.result = op();
  } catch (const MvError&) {
    o.threw = true;
  }
  o.injected = disarmSeam();
  MvErrorState::setThrowOnError(false);
  o.kernelError = ksample::lastError();
  return o;
}

// A failure the kernel met in the frustrum: no stream record (10) or no
// line buffer (99) could be allocated.
bool frustrumRefused(const std::string& kernelError) {
  return kernelError.find("status 10") != std::string::npos || kernelError.find("status 99") != std::string::npos;
}

// Without an injected failure the operation succeeds. With one it fails
// with a report (an allocation failure, code 20, or the report of a callback
// whose own allocation failed), or the failure reached the kernel as a
// frustrum status, or `new` gave null; an operation that still succeeds must
// have reported the allocation failure it got over.
void expectOutcome(const Outcome& o, long long n, bool newGaveNull = false) {
  if (!o.injected) {
    EXPECT_EQ(o.result, 1u) << rel::firstReport();
    EXPECT_FALSE(o.threw);
    return;
  }
  const bool reported = o.result == 1 ? rel::reportedCode(MvErrorState::kAllocation)
                                      : !MvErrorState::reports().empty() || frustrumRefused(o.kernelError);
  EXPECT_TRUE(reported || newGaveNull) << "allocation " << n << " failed unreported; result " << o.result << ", "
                                       << rel::firstReport() << ", kernel: " << o.kernelError;
}

// The element round-trips through a memory stream into equal bodies.
void expectWorks(const MvKMBrep& e) {
  MvAutoPtr<MvMemoryStream> s(new MvMemoryStream());
  ASSERT_EQ(e.serialize(*s), 1u) << rel::firstReport();
  ASSERT_EQ(s->seek(0), 1u);
  MvAutoPtr<MvKMBrep> back(new MvKMBrep());
  ASSERT_EQ(back->deserialize(*s), 1u) << rel::firstReport();
  EXPECT_TRUE(sameBodies(partsOf(e), partsOf(*back)));
}

MvKMBrep::KmBrepTessParams params() {
  MvKMBrep::KmBrepTessParams p{};
  MvKMBrep::initializeTessParam(p, 1);
  return p;
}

// Each sweep is run with failures reported and with failures thrown.
class AllocationSweep : public rel::AppTest, public ::testing::WithParamInterface<bool> {
 protected:
  bool throwing() const { return GetParam(); }

  void SetUp() override {
    rel::AppTest::SetUp();
    model = ksamplehost::buildDemoModel(3);
    ASSERT_EQ(model.size(), 3u);
    source = elementOf(model);
    bodies = ksample::bodyCount();
    memoryWithSource = MvPlatform::instance()->memoryInUse();
  }
  void TearDown() override {
    source = nullptr;
    rel::AppTest::TearDown();
  }

  // What every trial leaves: the library idle, the source element intact,
  // no kernel body gained or lost, the memory account back.
  void expectUndisturbed() {
    EXPECT_TRUE(libraryIdle());
    EXPECT_TRUE(partsConsistent(*source));
    EXPECT_EQ(partsOf(*source), model);
    EXPECT_EQ(ksample::bodyCount(), bodies);
    EXPECT_EQ(MvPlatform::instance()->memoryInUse(), memoryWithSource);
  }

  // Restarts the frustrum (no stream is open between operations) so that
  // every trial allocates the line buffer afresh.
  static void freshFrustrum() {
    int ifail = -1;
    stopFileFrustrum(&ifail);
    startFileFrustrum(&ifail);
  }

  std::vector<int> model;
  MvAutoPtr<MvKMBrep> source;
  int bodies = 0;
  long long memoryWithSource = 0;
};

TEST_P(AllocationSweep, ElementThroughAHostStream) {
  const long long writeSites = sweepAllocations([&](long long n) {
    MvAutoPtr<MvMemoryStream> s(new MvMemoryStream());
    const Outcome o = underSeam(n, throwing(), [&] { return source->serialize(*s); });
    expectOutcome(o, n);
    if (o.result == 1 && !o.threw) {
      s->seek(0);
      MvAutoPtr<MvKMBrep> back(new MvKMBrep());
      EXPECT_EQ(back->deserialize(*s), 1u);
      EXPECT_TRUE(sameBodies(model, partsOf(*back)));
    }
    s = nullptr;
    expectUndisturbed();
    return o.injected;
  });

  MvAutoPtr<MvMemoryStream> record(new MvMemoryStream());
  ASSERT_EQ(source->serialize(*record), 1u);
  const std::vector<int> own = ksamplehost::buildDemoModel(1);
  ++bodies;
  const long long readSites = sweepAllocations([&](long long n) {
    Outcome o;
    {
      // The element's own part is foreign to it, so that it survives the trials.
      MvAutoPtr<MvKMBrep> target(new MvKMBrep());
      target->appendKmPart(rel::tagVec(own), 1);
      record->seek(0);
      o = underSeam(n, throwing(), [&] { return target->deserialize(*record); });
      expectOutcome(o, n);
      EXPECT_TRUE(partsConsistent(*target));
      const std::vector<int> parts = partsOf(*target);
      EXPECT_TRUE(!parts.empty() && parts[0] == own[0]) << "the element's own part stays first";
      if (o.result == 1 && !o.threw) {
        EXPECT_TRUE(sameBodies(model, std::vector<int>(parts.begin() + 1, parts.end())));
      } else {
        EXPECT_EQ(parts.size(), 1u) << "a failed read keeps exactly the parts the element had";
      }
      expectWorks(*target);
    }
    expectUndisturbed();
    return o.injected;
  });
  ksample::deleteBodies(1, own.data());
  --bodies;

  // Received parts that go through the split callback.
  ksamplehost::Options split;
  split.registerSplit = true;
  ksamplehost::registerCallbacks(split);
  const long long splitSites = sweepAllocations([&](long long n) {
    Outcome o;
    {
      MvAutoPtr<MvKMBrep> target(new MvKMBrep());
      record->seek(0);
      o = underSeam(n, throwing(), [&] { return target->deserialize(*record); });
      expectOutcome(o, n);
      EXPECT_TRUE(partsConsistent(*target));
      EXPECT_EQ(target->kmPart().length(), o.result == 1 && !o.threw ? 3 : 0);
    }
    expectUndisturbed();
    return o.injected;
  });
  ksamplehost::registerCallbacks(options());
  rel::noteFigure("allocation sites, element deserialize through the split callback", splitSites);
  rel::noteFigure("allocation sites, element serialize", writeSites);
  rel::noteFigure("allocation sites, element deserialize", readSites);
  EXPECT_GT(writeSites, 0);
  EXPECT_GT(readSites, 0);
}

TEST_P(AllocationSweep, ElementsThroughAHostFile) {
  const std::string path = rel::tempPath("sweep_host_file") + ".mv61";
  const long long sites = sweepAllocations([&](long long n) {
    Outcome o;
    {
      std::vector<MvAutoPtr<MvBase>> back;
      MvAutoPtr<MvKMBrep> empty(new MvKMBrep());
      o = underSeam(n, throwing(), [&]() -> unsigned {
        {
          MvAutoPtr<MvFileStream> out(MvFileStream::create(path.c_str()));
          if (!out || !out->writeObject(source) || !out->writeObject(empty) || !out->close()) return 0;
        }
        MvAutoPtr<MvFileStream> in(MvFileStream::open(path.c_str()));
        if (!in) return 0;
        while (!in->atEnd()) {
          MvAutoPtr<MvBase> obj;
          if (!in->readObject(obj)) return 0;
          back.push_back(obj);
        }
        return 1;
      });
      expectOutcome(o, n);
      for (const MvAutoPtr<MvBase>& obj : back) {
        EXPECT_TRUE(obj && partsConsistent(*static_cast<MvKMBrep*>(obj.get())));
      }
      if (o.result == 1 && !o.threw) {
        EXPECT_EQ(back.size(), 2u);
        EXPECT_TRUE(sameBodies(model, partsOf(*static_cast<MvKMBrep*>(back.at(0).get()))));
        EXPECT_EQ(static_cast<MvKMBrep*>(back.at(1).get())->isEmpty(), 1u);
      }
      for (const MvAutoPtr<MvBase>& obj : back) expectWorks(*static_cast<MvKMBrep*>(obj.get()));
    }
    expectUndisturbed();
    return o.injected;
  });
  std::remove(path.c_str());
  rel::noteFigure("allocation sites, host file write and read", sites);
  EXPECT_GT(sites, 0);
}

// A kernel file is received into an on-demand holder, which is copied and
// unloaded.
TEST_P(AllocationSweep, HolderLoadsFromAKernelFile) {
  const std::string key = rel::tempPath("sweep_holder");
  ASSERT_EQ(ksample::transmit(3, model.data(), key.c_str(), static_cast<int>(key.size()), ksample::Format::Text), 0)
      << ksample::lastError();
  const long long sites = sweepAllocations([&](long long n) {
    freshFrustrum();
    Outcome o;
    {
      MvAutoPtr<MvKMBrepOnFly> holder(new MvKMBrepOnFly());
      MvAutoPtr<MvKMBrepOnFly> copy;
      int count = 0;
      int* tags = nullptr;
      o = underSeam(n, throwing(), [&]() -> unsigned {
        if (ksample::receive(key.c_str(), static_cast<int>(key.size()), ksample::Format::Text, count, tags) != 0)
          return 0;
        // Two cleaned entities and one uncleaned. The holder reports a
        // failed append and still answers 1: the entities are then still
        // the caller's.
        MvErrorState::clear();
        holder->appendKmEntity(rel::tagVec(std::vector<int>(tags, tags + 2)), 1);
        if (!MvErrorState::reports().empty()) {
          ksample::deleteBodies(count, tags);
          return 0;
        }
        holder->appendKmEntity(rel::tagVec(std::vector<int>(tags + 2, tags + count)), 0);
        if (!MvErrorState::reports().empty()) {
          ksample::deleteBodies(count - 2, tags + 2);
          return 0;
        }
        copy = new MvKMBrepOnFly(*holder);
        if (!copy) return 0;
        return copy->unloadKmEntity();
      });
      if (o.threw && holder->kmEntity().length() == 0) ksample::deleteBodies(count, tags);
      if (o.threw && holder->kmEntity().length() == 2 && holder->kmUnCleanedEntity().length() == 0)
        ksample::deleteBodies(count - 2, tags + 2);
      ksample::freeTags(tags);
      expectOutcome(o, n, !copy);
      if (o.result == 1 && !o.threw) {
        const MvVec<int> cleaned = holder->kmEntity();
        const MvVec<int> uncleaned = holder->kmUnCleanedEntity();
        std::vector<int> held(cleaned.begin(), cleaned.end());
        held.insert(held.end(), uncleaned.begin(), uncleaned.end());
        EXPECT_TRUE(sameBodies(model, held));
        EXPECT_EQ(copy->kmEntity().length() + copy->kmUnCleanedEntity().length(), 0);
      }
    }
    expectUndisturbed();
    return o.injected;
  });
  std::remove((key + ".x_t").c_str());
  rel::noteFigure("allocation sites, holder load from a kernel file", sites);
  EXPECT_GT(sites, 0);
}

TEST_P(AllocationSweep, Copies) {
  long long sites = 0;
  // Each way of copying; the new element either holds copies of all parts
  // or none, and a failed copy gives back what it made.
  const std::vector<std::function<unsigned(MvAutoPtr<MvKMBrep>&)>> copies = {
      [&](MvAutoPtr<MvKMBrep>& out) -> unsigned {
        out = new MvKMBrep(*source);
        return out && out->kmPart().length() == 3;
      },
      [&](MvAutoPtr<MvKMBrep>& out) -> unsigned {
        *out = *source;
        return out->kmPart().length() == 3;
      },
      [&](MvAutoPtr<MvKMBrep>& out) -> unsigned { return out->copyAppendKmPart(source->kmPart()); },
      [&](MvAutoPtr<MvKMBrep>& out) -> unsigned {
        MvBase* clone = nullptr;
        static_cast<const MvBase&>(*source)._clone(clone);
        out = static_cast<MvKMBrep*>(clone);
        return out && out->kmPart().length() == 3;
      },
  };
  for (const auto& makeCopy : copies) {
    sites += sweepAllocations([&](long long n) {
      Outcome o;
      {
        MvAutoPtr<MvKMBrep> out(new MvKMBrep());
        o = underSeam(n, throwing(), [&] { return makeCopy(out); });
        if (out) {
          EXPECT_TRUE(partsConsistent(*out));
          const std::vector<int> parts = partsOf(*out);
          // copyAppendKmPart keeps the copies made before a failure; the
          // others keep all or nothing.
          EXPECT_TRUE(parts.size() <= model.size() &&
                      sameBodies(std::vector<int>(model.begin(), model.begin() + parts.size()), parts))
              << parts.size() << " parts copied";
          expectWorks(*out);
        }
        if (o.injected && o.result == 0) {
          // A copy that came out empty or was not made at all failed quietly
          // only when nothing was allocated for it to report.
          EXPECT_TRUE(rel::reportedCode(MvErrorState::kAllocation) || !out || out->isEmpty());
        } else {
          expectOutcome(o, n);
        }
      }
      expectUndisturbed();
      return o.injected;
    });
  }
  rel::noteFigure("allocation sites, element copies", sites);
  EXPECT_GT(sites, 0);
}

TEST_P(AllocationSweep, FaceAndEdgeShapesAndColourMerge) {
  long long referenceTriangles = 0;
  {
    MvKMBrep::KmBrepTessParams p = params();
    MvAutoPtrVec<MvTriStripSet> merged;
    ASSERT_EQ(source->getMvColorShapeList(p, merged), 1u);
    for (int i = 0; i < merged.length(); ++i) referenceTriangles += merged[i]->triangleCount();
  }
  ASSERT_GT(referenceTriangles, 0);
  const std::vector<std::function<unsigned()>> operations = {
      [&]() -> unsigned {
        MvKMBrep::KmBrepTessParams p = params();
        MvAutoPtrVec<MvTriStripSet> merged;
        if (!source->getMvColorShapeList(p, merged)) return 0;
        long long triangles = 0;
        for (int i = 0; i < merged.length(); ++i) triangles += merged[i]->triangleCount();
        EXPECT_EQ(triangles, referenceTriangles);
        return 1;
      },
      [&]() -> unsigned {
        MvKMBrep::KmBrepTessParams p = params();
        MvAutoPtrVec<MvTriStripSet> faces;
        MvAVec<MvIVec<int>> maps;
        if (!source->getMvFaceShapeList(p, faces, maps, 1)) return 0;
        EXPECT_EQ(maps.length(), 3);
        return 1;
      },
      [&]() -> unsigned {
        MvKMBrep::KmBrepTessParams p = params();
        MvAutoPtrVec<MvPolylineSet> edges;
        return source->getMvEdgeShape(p, edges);
      },
  };
  const char* const names[] = {"colour merge", "face shapes", "edge shapes"};
  for (size_t i = 0; i < operations.size(); ++i) {
    const long long sites = sweepAllocations([&](long long n) {
      const Outcome o = underSeam(n, throwing(), operations[i]);
      expectOutcome(o, n);
      expectUndisturbed();
      return o.injected;
    });
    rel::noteFigure(std::string("allocation sites, ") + names[i], sites);
    EXPECT_GT(sites, 0);
  }
  expectWorks(*source);
}

INSTANTIATE_TEST_SUITE_P(Modes, AllocationSweep, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "Throwing" : "Reporting";
                         });

}  // namespace
