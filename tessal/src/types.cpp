#include <tessal/observer.h>
#include <tessal/types.h>

ZENTHO_TESSAL_NAMESPACE_BEGIN

Exception::~Exception() = default;
const char* Exception::what() const noexcept { return "Zentho::Tessal::Exception"; }

Private::SharedFromThisBase::~SharedFromThisBase() = default;

TrackedObserver::~TrackedObserver() {
  auto subjects = std::move(mSubjects);
  mSubjects.clear();
  for (SubjectBase* s : subjects) s->forget(*this);
}

void TrackedObserver::subscribed(SubjectBase& subject) { mSubjects.insert(&subject); }
void TrackedObserver::unsubscribed(SubjectBase& subject) { mSubjects.erase(&subject); }

ZENTHO_TESSAL_NAMESPACE_END
