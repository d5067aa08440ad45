#include "graphwidgetplugin.h"

#include <arvelle/graphwidget.h>

#include <QIcon>

GraphWidgetPlugin::GraphWidgetPlugin(QObject* parent) : QObject(parent) {}

QString GraphWidgetPlugin::name() const { return QStringLiteral("Zentho::Arvelle::GraphWidget"); }

QString GraphWidgetPlugin::group() const { return QStringLiteral("Arvelle"); }

QString GraphWidgetPlugin::toolTip() const { return QStringLiteral("Function-curve graph editor"); }

QString GraphWidgetPlugin::whatsThis() const {
  return QStringLiteral("An interactive editor for animation function curves. The host fills "
                        "getCurves(); the widget shows and edits them with undo.");
}

QString GraphWidgetPlugin::includeFile() const { return QStringLiteral("arvelle/graphwidget.h"); }

QIcon GraphWidgetPlugin::icon() const { return QIcon(); }

bool GraphWidgetPlugin::isContainer() const { return false; }

QWidget* GraphWidgetPlugin::createWidget(QWidget* parent) {
  return new Zentho::Arvelle::GraphWidget(parent);
}

bool GraphWidgetPlugin::isInitialized() const { return mInitialized; }

void GraphWidgetPlugin::initialize(QDesignerFormEditorInterface*) { mInitialized = true; }

QString GraphWidgetPlugin::domXml() const {
  return QStringLiteral(
      "<ui language=\"c++\" displayname=\"GraphWidget\">\n"
      " <widget class=\"Zentho::Arvelle::GraphWidget\" name=\"graphWidget\">\n"
      "  <property name=\"geometry\">\n"
      "   <rect><x>0</x><y>0</y><width>480</width><height>320</height></rect>\n"
      "  </property>\n"
      " </widget>\n"
      " <customwidgets>\n"
      "  <customwidget>\n"
      "   <class>Zentho::Arvelle::GraphWidget</class>\n"
      "   <extends>QOpenGLWidget</extends>\n"
      "   <header>arvelle/graphwidget.h</header>\n"
      "  </customwidget>\n"
      " </customwidgets>\n"
      "</ui>\n");
}
