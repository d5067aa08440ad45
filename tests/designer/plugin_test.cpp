// The Designer plugin as Designer loads it: a Qt plugin whose instance
// describes GraphWidget for the widget box and creates working widgets.
#include <arvelle/graphwidget.h>

#include <QPluginLoader>
#include <QWidget>
#include <QXmlStreamReader>
#include <QtUiPlugin/QDesignerCustomWidgetInterface>

#include <gtest/gtest.h>

#include <memory>

namespace {

QDesignerCustomWidgetInterface* LoadPlugin(QPluginLoader& loader) {
  QObject* instance = loader.instance();
  EXPECT_NE(instance, nullptr) << loader.errorString().toStdString();
  return qobject_cast<QDesignerCustomWidgetInterface*>(instance);
}

TEST(DesignerPlugin, DescribesTheWidgetForTheWidgetBox) {
  QPluginLoader loader(ARVELLE_DESIGNER_PLUGIN);
  QDesignerCustomWidgetInterface* plugin = LoadPlugin(loader);
  ASSERT_NE(plugin, nullptr);
  // Designer keys its widget box on the plugin metadata's interface id.
  EXPECT_EQ(loader.metaData().value("IID").toString(),
            QStringLiteral("org.qt-project.Qt.QDesignerCustomWidgetInterface"));
  EXPECT_EQ(plugin->name(), QStringLiteral("Zentho::Arvelle::GraphWidget"));
  EXPECT_EQ(plugin->includeFile(), QStringLiteral("arvelle/graphwidget.h"));
  EXPECT_FALSE(plugin->group().isEmpty());
  EXPECT_FALSE(plugin->isContainer());

  // The form snippet Designer drops names the same class, and declares the
  // custom widget with the header and base class uic needs.
  QXmlStreamReader xml(plugin->domXml());
  QString widgetClass, declaredClass, header, extends, element;
  while (!xml.atEnd()) {
    if (xml.readNext() != QXmlStreamReader::StartElement) continue;
    element = xml.name().toString();
    if (element == "widget" && widgetClass.isEmpty()) widgetClass = xml.attributes().value("class").toString();
    if (element == "class") declaredClass = xml.readElementText();
    if (element == "header") header = xml.readElementText();
    if (element == "extends") extends = xml.readElementText();
  }
  ASSERT_FALSE(xml.hasError()) << xml.errorString().toStdString();
  EXPECT_EQ(widgetClass, plugin->name());
  EXPECT_EQ(declaredClass, plugin->name());
  EXPECT_EQ(header, plugin->includeFile());
  EXPECT_EQ(extends, QStringLiteral("QOpenGLWidget"));
}

TEST(DesignerPlugin, CreatesAGraphWidget) {
  QPluginLoader loader(ARVELLE_DESIGNER_PLUGIN);
  QDesignerCustomWidgetInterface* plugin = LoadPlugin(loader);
  ASSERT_NE(plugin, nullptr);
  plugin->initialize(nullptr);
  EXPECT_TRUE(plugin->isInitialized());

  QWidget form;
  QWidget* created = plugin->createWidget(&form);
  auto* graph = qobject_cast<Zentho::Arvelle::GraphWidget*>(created);
  ASSERT_NE(graph, nullptr);
  EXPECT_EQ(graph->parentWidget(), &form);
  EXPECT_NE(graph->getCurves(), nullptr);
}

}  // namespace
