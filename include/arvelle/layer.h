// Layers: everything the graph widget draws or that reacts to input. A
// LayerManager is a layer holding an ordered list of children (front = top):
// it draws them bottom to top, offers events top to bottom until one takes
// the event, chains their change signals up to the root and relays undo
// commands to the root, whose owner pushes them.
#pragma once

#include <arvelle/snapsettings.h>
#include <arvelle/version.h>

#include <tessal/types.h>

#include <QObject>

#include <cstdint>
#include <iterator>
#include <list>
#include <memory>
#include <string>

class QColor;
class QEvent;
class QString;
class QUndoCommand;

namespace Zentho {
namespace Arvelle {
inline namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS {

class LayerManager;
class Viewport;

class ZENTHO_ARVELLE_EXPORT Layer : public QObject, public Tessal::SharedFromThis<Layer> {
  Q_OBJECT

 public:
  // Visible and interactive. Create layers through std::shared_ptr: managers
  // and interaction layers need the layer's shared pointer to itself.
  Layer();
  explicit Layer(const char* name);
  ~Layer() override;

  const char* getName() const { return mName.c_str(); }

  // A change emits notifyLayerChanged(); setting the current value does not.
  void setVisible(bool visible);
  bool isVisible() const { return mVisible; }
  void setInteractive(bool interactive);
  bool isInteractive() const { return mInteractive; }

  // Empty when the layer has no manager or the manager is gone.
  std::shared_ptr<LayerManager> getManager() const { return mManager.lock(); }
  // Kept weakly; managers call it on insertion and removal.
  void setManager(std::shared_ptr<LayerManager> manager) { mManager = manager; }
  // Leaves the manager, if any; safe from inside this layer's handleEvent.
  void removeFromManager();

  // The one process-wide value; neither call notifies anybody.
  static SnapSettings getSnapSettings() { return mSnapSettings; }
  static void setSnapSettings(SnapSettings settings) { mSnapSettings = settings; }

  // Draws in world units; the default draws nothing.
  virtual void draw(const Viewport& viewport) const;
  // True when the layer consumed the event; the default takes nothing.
  virtual bool handleEvent(QEvent* event, Viewport& viewport);

 signals:
  void notifyLayerChanged() const;
  // Text at widget pixel (x, y), y downwards, the baseline starting there.
  void requestDrawText(int x, int y, const QString& iText, const QColor& textColor) const;

 protected:
  static SnapSettings mSnapSettings;

 private:
  std::weak_ptr<LayerManager> mManager;
  std::string mName;
  bool mVisible = true;
  bool mInteractive = true;
};

class ZENTHO_ARVELLE_EXPORT LayerManager : public Layer {
  Q_OBJECT

  struct Entry {
    std::shared_ptr<Layer> layer;
    bool active;
  };
  using Entries = std::list<Entry>;

 public:
  // Walks the active children, front (topmost) first.
  template <class It>
  class ChildIterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = std::shared_ptr<Layer>;
    using difference_type = std::ptrdiff_t;
    using pointer = const std::shared_ptr<Layer>*;
    using reference = const std::shared_ptr<Layer>&;

    ChildIterator() = default;
    ChildIterator(It it, It end) : mIt(it), mEnd(end) { skip(); }
    reference operator*() const { return mIt->layer; }
    pointer operator->() const { return &mIt->layer; }
    ChildIterator& operator++() {
      ++mIt;
      skip();
      return *this;
    }
    ChildIterator operator++(int) {
      ChildIterator r = *this;
      ++*this;
      return r;
    }
    bool operator==(const ChildIterator& o) const { return mIt == o.mIt; }
    bool operator!=(const ChildIterator& o) const { return mIt != o.mIt; }

   private:
    void skip() {
      while (mIt != mEnd && !mIt->active) ++mIt;
    }
    It mIt{};
    It mEnd{};
  };
  using iterator = ChildIterator<Entries::iterator>;
  using const_iterator = ChildIterator<Entries::const_iterator>;

  LayerManager();
  explicit LayerManager(const char* name);
  ~LayerManager() override;

  // On top of every child.
  void pushLayer(std::shared_ptr<Layer> layer);
  // Directly below after; an empty after means on top. A layer that sits in
  // a manager already leaves it first; a null layer, this manager or one of
  // its own managers is refused.
  void insertLayer(std::shared_ptr<Layer> layer, std::shared_ptr<Layer> after);
  // Does nothing for a layer that is not a child. During an event walk the
  // entry is only marked, and erased when the walk ends.
  void removeLayer(std::shared_ptr<Layer> layer);
  // Depth first, front to back, this manager included; exact name.
  std::shared_ptr<Layer> findLayer(const char* name);

  std::size_t numChildren() const;
  iterator begin() { return iterator(mChildren.begin(), mChildren.end()); }
  iterator end() { return iterator(mChildren.end(), mChildren.end()); }
  const_iterator begin() const { return const_iterator(mChildren.cbegin(), mChildren.cend()); }
  const_iterator end() const { return const_iterator(mChildren.cend(), mChildren.cend()); }

  // Widget pixels of the last mouse move that reached this manager, each
  // coordinate rounded to the nearest integer, halves upwards.
  const Tessal::Vector2D<double>& getLastMousePoint() const { return mLastMousePoint; }

  // Passes the command up to the root, which emits undoCommandGenerated; a
  // null command is ignored.
  void handleUndoCommand(QUndoCommand* command) const;

  void draw(const Viewport& viewport) const override;
  bool handleEvent(QEvent* event, Viewport& viewport) override;
  virtual void layerChanged(const Layer& layer);

 signals:
  // The receiver takes ownership of the command.
  void undoCommandGenerated(QUndoCommand* command) const;

 private:
  Entries::iterator findActive(const Layer* layer);
  void beginWalk() const { ++mWalkDepth; }
  void endWalk() const;

  // Mutable: a draw walk protects the list exactly as an event walk does.
  mutable Entries mChildren;
  mutable std::uint32_t mWalkDepth = 0;
  mutable bool mHasInactive = false;
  Tessal::Vector2D<double> mLastMousePoint;
};

// The topmost manager above the layer; the layer itself, when it is a manager
// without a manager; empty otherwise.
ZENTHO_ARVELLE_EXPORT std::shared_ptr<LayerManager> GetRootLayer(std::shared_ptr<Layer> layer);

}  // namespace ZENTHO_ARVELLE_QT_LIB_VERSION_NS
}  // namespace Arvelle
}  // namespace Zentho
