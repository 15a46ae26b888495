-- Per-user accounts: the database the program uses holds one view per store table, with the
-- table's name and every column (the invisible ones too, which some statements name), so the
-- program's statements stay as they are. Each view shows the rows the caller may see and, WITH
-- CHECK OPTION, lets a write land only where the caller may see it; it runs as its definer, so
-- users need no rights on the store. Views are made from the store's columns as they are now:
-- after a schema step this file runs again and the views follow.
-- A table without a rule below gets a view that shows administrators only.
-- The server allows no CHECK OPTION on a view whose condition reads the view's own table
-- (Projects, ProjectMembers, Requirements); there the triggers check where a write lands.
-- Applied by scripts/setup-db.sh, names replaced as in 1-functions.sql.

DELIMITER //

BEGIN NOT ATOMIC
  DECLARE columns_list MEDIUMTEXT;
  DECLARE filter TEXT;
  SET SESSION group_concat_max_len = 1048576;
  FOR t IN (SELECT table_name AS name FROM information_schema.tables
            WHERE table_schema = '@STORE@' AND table_type = 'BASE TABLE') DO
    SELECT GROUP_CONCAT('`', REPLACE(column_name, '`', '``'), '`' ORDER BY ordinal_position SEPARATOR ', ')
      INTO columns_list
      FROM information_schema.columns WHERE table_schema = '@STORE@' AND table_name = t.name;
    SET filter = CASE lower(t.name)
      WHEN 'users' THEN 'TRUE'
      WHEN 'global_settings' THEN 'TRUE'
      WHEN 'schema_version' THEN 'TRUE'
      -- A new project has no id yet when the view checks it: its manager is the creator.
      WHEN 'projects' THEN '`@STORE@`.vt_is_me(ProjectManager) OR `@STORE@`.vt_sees_project(ProjectID)'
      WHEN 'projectmembers' THEN '`@STORE@`.vt_sees_project(ProjectID)'
      WHEN 'catagories' THEN '`@STORE@`.vt_sees_project(ProjectID)'
      -- A new document has no id yet either: its place decides.
      WHEN 'requirements' THEN '`@STORE@`.vt_is_admin() OR `@STORE@`.vt_sees_project(`@STORE@`.vt_doc_project(Level, ParentID))'
      WHEN 'req_objects' THEN '`@STORE@`.vt_sees_document(RequirementID)'
      WHEN 'req_revisions' THEN '`@STORE@`.vt_sees_document(RequirementID)'
      WHEN 'search_body_text' THEN '`@STORE@`.vt_sees_document(RequirementID)'
      WHEN 'attachments' THEN '`@STORE@`.vt_sees_document(RequirementID)'
      WHEN 'req_messages' THEN '`@STORE@`.vt_sees_document(RequirementID)'
      -- One's own read states, and those of one's own messages' notices.
      WHEN 'msg_state' THEN
        '`@STORE@`.vt_sees_document(RequirementID) AND (`@STORE@`.vt_is_admin() OR `@STORE@`.vt_is_me(username) OR `@STORE@`.vt_wrote(msgID))'
      WHEN 'activity_log' THEN '`@STORE@`.vt_sees_project(ProjectID)'
      ELSE '`@STORE@`.vt_is_admin()'
    END;
    EXECUTE IMMEDIATE CONCAT(
      'CREATE OR REPLACE ALGORITHM = MERGE SQL SECURITY DEFINER VIEW `@DB@`.`', REPLACE(t.name, '`', '``'),
      '` AS SELECT ', columns_list, ' FROM `@STORE@`.`', REPLACE(t.name, '`', '``'), '` WHERE ',
      filter,
      IF(lower(t.name) IN ('projects', 'projectmembers', 'requirements'), '', ' WITH CASCADED CHECK OPTION'));
  END FOR;
END//

DELIMITER ;
