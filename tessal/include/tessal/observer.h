// The subject/observer mechanism shared by the whole project: curves,
// containers and selections here, and the widget's viewport, colour table and
// domain slider, all notify their observers through Subject<>.
//
// Rules every subject keeps:
//  - one entry per observer (subscribing twice is harmless);
//  - entries are visited ordered by observer identity;
//  - unsubscribing (or destroying an observer) during a notification only
//    marks the entry; the walk skips it and it is erased when the outermost
//    notification ends, so observers may remove themselves or others;
//  - an observer destroyed while subscribed is removed from every subject;
//  - a subject destroyed tells each remaining observer (unsubscribed()).
#pragma once

#include <tessal/version.h>

#include <cstddef>
#include <map>
#include <unordered_set>

ZENTHO_TESSAL_NAMESPACE_BEGIN

class TrackedObserver;

// The subject side as an observer's tracking sees it.
class ZENTHO_TESSAL_EXPORT SubjectBase {
 public:
  virtual ~SubjectBase() = default;

 protected:
  friend class TrackedObserver;
  // The observer is being destroyed: forget it without calling back.
  virtual void forget(TrackedObserver& observer) = 0;
};

// The observer side: remembers which subjects hold it so that its
// destruction removes it from all of them.
class ZENTHO_TESSAL_EXPORT TrackedObserver {
 public:
  TrackedObserver() = default;
  // Copies do not inherit subscriptions.
  TrackedObserver(const TrackedObserver&) {}
  TrackedObserver& operator=(const TrackedObserver&) { return *this; }
  virtual ~TrackedObserver();

  // Tracking bookkeeping, called by subjects.
  void subscribed(SubjectBase& subject);
  virtual void unsubscribed(SubjectBase& subject);

  std::size_t numSubscriptions() const { return mSubjects.size(); }

 private:
  std::unordered_set<SubjectBase*> mSubjects;  // not owned
};

// Kept for the widget's vocabulary: the tracking part of an observer.
using TrackerBase = TrackedObserver;

// A subject of observers of type O (O derives from TrackedObserver).
template <class O>
class Subject : public SubjectBase {
 public:
  Subject() = default;
  // Observers are never copied with a subject.
  Subject(const Subject&) : SubjectBase() {}
  Subject& operator=(const Subject&) { return *this; }

  ~Subject() override {
    // Copy first: unsubscribed() may not call back into us, but be safe.
    auto entries = std::move(mEntries);
    mEntries.clear();
    for (auto& e : entries) e.first->unsubscribed(*this);
  }

  void subscribe(O& observer) {
    TrackedObserver& t = observer;
    auto it = mEntries.find(&t);
    if (it != mEntries.end()) {
      // An inactive entry may belong to a destroyed observer at this address.
      it->second.observer = &observer;
      it->second.active = true;
    } else {
      mEntries.emplace(&t, Entry{&observer, true});
    }
    t.subscribed(*this);
  }

  void unsubscribe(O& observer) {
    TrackedObserver& t = observer;
    drop(t);
    t.unsubscribed(*this);
  }

  bool isSubscribed(const O& observer) const {
    const TrackedObserver& t = observer;
    auto it = mEntries.find(const_cast<TrackedObserver*>(&t));
    return it != mEntries.end() && it->second.active;
  }

  std::size_t size() const {
    std::size_t n = 0;
    for (auto& e : mEntries) n += e.second.active ? 1 : 0;
    return n;
  }

  bool isNotifying() const { return mDepth > 0; }

  // Calls f(observer) on every active observer.
  template <class F>
  void notify(F&& f) {
    ++mDepth;
    struct Guard {
      Subject* s;
      ~Guard() { s->endWalk(); }
    } guard{this};
    for (auto it = mEntries.begin(); it != mEntries.end(); ++it) {
      if (it->second.active) f(*it->second.observer);
    }
  }

 protected:
  void forget(TrackedObserver& observer) override { drop(observer); }

 private:
  struct Entry {
    O* observer;  // not owned
    bool active;
  };

  void drop(TrackedObserver& t) {
    auto it = mEntries.find(&t);
    if (it == mEntries.end() || !it->second.active) return;
    if (mDepth > 0) {
      it->second.active = false;
      mHasInactive = true;
    } else {
      mEntries.erase(it);
    }
  }

  void endWalk() {
    if (--mDepth == 0 && mHasInactive) {
      for (auto it = mEntries.begin(); it != mEntries.end();) {
        it = it->second.active ? std::next(it) : mEntries.erase(it);
      }
      mHasInactive = false;
    }
  }

  std::map<TrackedObserver*, Entry> mEntries;
  unsigned mDepth = 0;
  bool mHasInactive = false;
};

ZENTHO_TESSAL_NAMESPACE_END
